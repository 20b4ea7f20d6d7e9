station_add_test(station_package_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/PackageTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ControllerFixture.h
  LIBS station backendsim
  TIMEOUT 120)
