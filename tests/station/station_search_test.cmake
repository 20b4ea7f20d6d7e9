station_add_test(station_search_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/SearchCycleTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ControllerFixture.h
    ${CMAKE_CURRENT_LIST_DIR}/LanProfiles.h
    ${CMAKE_CURRENT_LIST_DIR}/SdkEventRouter.h
    ${CMAKE_CURRENT_LIST_DIR}/../sdk/SdkTestSupport.cpp
  LIBS station backendsim
  TIMEOUT 600)
target_include_directories(station_search_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../sdk)
