station_add_test(station_timer_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/JTimerTest.cpp LIBS station TIMEOUT 120)
