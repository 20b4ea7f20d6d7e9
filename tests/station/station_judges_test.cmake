station_add_test(station_judges_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/JudgesTest.cpp LIBS station TIMEOUT 120)
