station_add_test(tputlib_settings_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TputSettingsTest.cpp
  LIBS tputlib tputclient
  TIMEOUT 60)
