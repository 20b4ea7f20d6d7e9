station_add_test(station_manual_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ManualTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ChainFixture.h
  LIBS station sdk_test_support
  TIMEOUT 600)
