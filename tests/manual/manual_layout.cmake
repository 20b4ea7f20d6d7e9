station_add_test(manual_layout_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/RightBottomWidgetLayoutTest.cpp LIBS manual)
