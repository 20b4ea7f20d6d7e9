station_add_test(station_search_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/SearchCycleTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ControllerFixture.h
    ${CMAKE_CURRENT_LIST_DIR}/LanProfiles.h
    ${CMAKE_CURRENT_LIST_DIR}/SdkEventRouter.h
  LIBS station sdk_test_support backendsim
  TIMEOUT 600)
