station_add_test(devicelink_packing_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/PackingTest.cpp
  LIBS devicelink)
