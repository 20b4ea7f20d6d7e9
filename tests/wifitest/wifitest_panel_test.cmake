station_add_test(wifitest_panel_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/WIFITestWidgetTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WifiTestFixture.h
    ${CMAKE_CURRENT_LIST_DIR}/../tputlib/TputTestSupport.cpp
  LIBS wifitest tputclient
  RESOURCE_LOCK port3600
  TIMEOUT 120)
target_include_directories(wifitest_panel_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../tputlib)
