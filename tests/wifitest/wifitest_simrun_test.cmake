station_add_test(wifitest_simrun_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/WIFITestSimRunTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WifiTestFixture.h
    ${CMAKE_CURRENT_LIST_DIR}/../tputlib/TputTestSupport.cpp
  LIBS wifitest sdk_test_support tputclient
  RESOURCE_LOCK port3600
  TIMEOUT 180)
target_include_directories(wifitest_simrun_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../tputlib)
