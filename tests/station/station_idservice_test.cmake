station_add_test(station_idservice_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/IdServiceTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ControllerFixture.h
  LIBS station
  TIMEOUT 120
  RESOURCE_LOCK port3030 port3031)
