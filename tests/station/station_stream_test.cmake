station_add_test(station_stream_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/StreamThreadTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PlayFixture.h
  LIBS station sdk_test_support
  TIMEOUT 400)
