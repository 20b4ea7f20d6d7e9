station_add_test(station_workers_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/WorkersTest.cpp LIBS station TIMEOUT 120)
