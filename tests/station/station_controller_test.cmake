station_add_test(station_controller_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ControllerTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ControllerFixture.h
    ${CMAKE_CURRENT_LIST_DIR}/InfoPanelTest.cpp
  LIBS station backendsim
  TIMEOUT 300
  RESOURCE_LOCK port3030 port3031)
target_include_directories(station_controller_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../labels)
