# The wire layer's sources that encode and decode what crosses the network,
# Qt Core only: the library builds them, and the fuzz project compiles the
# same list with coverage (fuzz/CMakeLists.txt includes this file).
set(KRT_WIRE_DECODER_SOURCES
  errors.cpp
  utf8.cpp
  wallclock.cpp
  packet.cpp
  packetwriter.cpp
  packetassembler.cpp
  streamedreply.cpp
  variant.cpp
  callcodec.cpp
  keylist.cpp
  sessioninfo.cpp)
