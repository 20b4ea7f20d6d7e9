station_add_test(station_play_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/PlayPathTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PlayFixture.h
    ${CMAKE_CURRENT_LIST_DIR}/../sdk/SdkTestSupport.cpp
  LIBS station
  TIMEOUT 300)
target_include_directories(station_play_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../sdk)
