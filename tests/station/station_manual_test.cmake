station_add_test(station_manual_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ManualTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ChainFixture.h
    ${CMAKE_CURRENT_LIST_DIR}/../sdk/SdkTestSupport.cpp
  LIBS station
  TIMEOUT 600)
target_include_directories(station_manual_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../sdk)
