station_add_test(manual_scripts_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/ManualTestAutomationTest.cpp LIBS manual)
