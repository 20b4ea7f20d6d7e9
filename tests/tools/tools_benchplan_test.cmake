# station-bench's plan of a line's forms (tools/station-bench).
station_add_test(tools_benchplan_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/LinePlanTest.cpp
  LIBS benchplan)
