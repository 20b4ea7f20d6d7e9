station_add_test(manual_panel_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/RightBottomWidgetTest.cpp LIBS manual)
