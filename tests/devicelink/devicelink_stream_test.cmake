station_add_test(devicelink_stream_test GL
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/StreamTest.cpp
  LIBS devicelink
  TIMEOUT 120)
