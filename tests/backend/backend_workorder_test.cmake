station_add_test(backend_workorder_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/WorkOrderFilesTest.cpp
  LIBS backend backendsim
  TIMEOUT 120)
