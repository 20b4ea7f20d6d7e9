station_add_test(station_aux_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/AuxThreadTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ChainFixture.h
  LIBS station sdk_test_support
  TIMEOUT 300)
