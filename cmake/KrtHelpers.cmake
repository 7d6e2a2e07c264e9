# Shared helpers so that every folder's CMakeLists stays a few lines long.

# Warnings we keep at zero across the tree: a new one fails the build.
option(KRT_WERROR "Treat compiler warnings as errors" ON)
function(krt_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(KRT_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
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

# A program of the project.
function(krt_add_executable name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_LINKS})
  krt_warnings(${name})
endfunction()

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
    TIMEOUT 300)
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()
