station_add_test(station_aux_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/AuxThreadTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ChainFixture.h
    ${CMAKE_CURRENT_LIST_DIR}/../sdk/SdkTestSupport.cpp
  LIBS station
  TIMEOUT 300)
target_include_directories(station_aux_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../sdk)
