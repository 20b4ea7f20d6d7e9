station_add_test(settings_funcode_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/FunctionCodeSettingTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SettingsFixture.h
  LIBS settings
  TIMEOUT 300)
