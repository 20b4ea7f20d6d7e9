station_add_test(station_devtable_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/DevTableTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ControllerFixture.h
    ${CMAKE_CURRENT_LIST_DIR}/LanProfiles.h
    ${CMAKE_CURRENT_LIST_DIR}/SdkEventRouter.h
  LIBS station sdk_test_support
  TIMEOUT 600)
