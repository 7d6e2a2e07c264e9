# Shared helpers so that every folder's CMakeLists stays a few lines long.

# Warnings we keep at zero across the tree: a new one fails the build.
option(KRT_WERROR "Treat compiler warnings as errors" ON)
function(krt_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(KRT_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()


# Precompiled headers for the targets whose files all parse the same large
# toolkit headers: Qt Widgets (the framework's widgets and forms, the module,
# the host, their tests), GoogleTest, Boost.Beast/Asio (the HTTP server).
# Off by default: the builds here go through ccache, which reuses objects
# built with a precompiled header only when told to accept it
# (CCACHE_SLOPPINESS=pch_defines,time_macros) and the compiler keeps it
# visible to the preprocessor (-fpch-preprocess, added below); a cold build
# without ccache is what it shortens (docs/architecture.md, "Build times").
option(KRT_PCH "Precompile the toolkit headers of the heavy targets" OFF)
set(KRT_PCH_QT <QApplication> <QCheckBox> <QDateTime> <QDialog> <QEvent> <QFrame> <QHash>
    <QKeyEvent> <QLabel> <QLineEdit> <QList> <QObject> <QPointer> <QString> <QStringList>
    <QStyle> <QTableView> <QTimer> <QVariant> <QVBoxLayout> <QWidget> <functional> <memory>
    <vector>)
set(KRT_PCH_TEST ${KRT_PCH_QT} <QTest> <gtest/gtest.h>)
set(KRT_PCH_BEAST <boost/asio.hpp> <boost/beast/core.hpp> <boost/beast/http.hpp>
    <boost/beast/ssl.hpp>)
function(krt_precompile target kind)
  if(NOT KRT_PCH)
    return()
  endif()
  target_precompile_headers(${target} PRIVATE ${KRT_PCH_${kind}})
  if(CMAKE_CXX_COMPILER_LAUNCHER MATCHES "ccache" AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -fpch-preprocess)
  endif()
endfunction()

# A shared library of the project. Sources are relative to the calling folder;
# the repository root is the include root ("framework/data/clientdataset.h").
function(krt_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_library(${name} SHARED ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_LINKS})
  krt_warnings(${name})
endfunction()

# An include root in the build tree (include-roots/<name>) holding links to
# the given folders of the repository, named by their path from its root
# ("framework/core", "screen"): code compiled against it can include those
# folders and no other part of the project.
function(krt_include_root out name)
  set(root ${PROJECT_BINARY_DIR}/include-roots/${name})
  file(REMOVE_RECURSE ${root})
  foreach(folder ${ARGN})
    get_filename_component(parent ${root}/${folder} DIRECTORY)
    file(MAKE_DIRECTORY ${parent})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endforeach()
  set(${out} ${root} PARENT_SCOPE)
endfunction()

# A shared library compiled against an include root of its own (include-roots/
# <name>) holding only FOLDERS (paths from the repository root, its own first):
# an include of any other part of the project does not compile, since the
# file is not there. It links with --no-undefined, so a call into a part it
# may not use, through a hand-written declaration, does not link either. The
# root is not published: code that links it keeps its own include root.
function(krt_add_rooted_library name)
  cmake_parse_arguments(ARG "" "" "FOLDERS;SOURCES;LINKS;PRIVATE_LINKS" ${ARGN})
  krt_include_root(root ${name} ${ARG_FOLDERS})
  add_library(${name} SHARED ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${root})
  target_link_libraries(${name} PUBLIC ${ARG_LINKS} PRIVATE ${ARG_PRIVATE_LINKS})
  target_link_options(${name} PRIVATE -Wl,--no-undefined)
  krt_warnings(${name})
endfunction()

# A layer of the host framework (framework/<layer>): the rooted library
# krt<layer>, whose root holds its own folder and those of the layers it USES,
# so an include of a layer above fails to compile. USES names every layer
# below that the layer may reach (not only the next one); they are linked
# publicly.
function(krt_add_layer layer)
  cmake_parse_arguments(ARG "" "" "USES;SOURCES;LINKS;PRIVATE_LINKS" ${ARGN})
  set(folders ${layer} ${ARG_USES})
  list(TRANSFORM folders PREPEND framework/)
  list(TRANSFORM ARG_USES PREPEND krt OUTPUT_VARIABLE below)
  krt_add_rooted_library(krt${layer} FOLDERS ${folders} SOURCES ${ARG_SOURCES}
                         LINKS ${below} ${ARG_LINKS} PRIVATE_LINKS ${ARG_PRIVATE_LINKS})
endfunction()

# A program of the project.
function(krt_add_executable name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_LINKS})
  krt_warnings(${name})
endfunction()

# How long one test program may run: an unoptimised sanitizer build runs the
# server's suites several times slower, on a machine busy with the other
# test running beside it.
if(KRT_SANITIZE)
  set(KRT_TEST_TIMEOUT 1200)
else()
  set(KRT_TEST_TIMEOUT 300)
endif()

# A GoogleTest program, registered with CTest under its own name. Every test
# runs headless; LABELS lets the test command pick groups (e.g. "postgres").
function(krt_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS;LABELS;ENV" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_LINKS} GTest::gtest)
  krt_warnings(${name})
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;KRT_BIN_DIR=${PROJECT_BINARY_DIR}/bin;KRT_LIB_DIR=${PROJECT_BINARY_DIR}/lib;KRT_SOURCE_DIR=${PROJECT_SOURCE_DIR};${ARG_ENV}"
    TIMEOUT ${KRT_TEST_TIMEOUT})
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()
