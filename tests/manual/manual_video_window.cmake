station_add_test(manual_video_window_test GL SOURCES ${CMAKE_CURRENT_LIST_DIR}/MainviewVideoWidgetTest.cpp LIBS manual)
