station_add_test(station_play_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/PlayPathTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PlayFixture.h
  LIBS station sdk_test_support
  TIMEOUT 300)
