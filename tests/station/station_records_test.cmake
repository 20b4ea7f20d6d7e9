station_add_test(station_records_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ChecksTest.cpp ${CMAKE_CURRENT_LIST_DIR}/DevListsTest.cpp
  LIBS station
  TIMEOUT 120)
