station_add_test(settings_form_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/SysConfigWidgetTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SettingsFixture.h
  LIBS settings
  TIMEOUT 300)
