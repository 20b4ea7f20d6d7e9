station_add_test(backend_requests_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/BackendRequestsTest.cpp
  LIBS backend backendsim
  TIMEOUT 120)
