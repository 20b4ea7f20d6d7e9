station_add_test(manual_item_table_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/ManualItemTableTest.cpp LIBS manual)
