station_add_test(station_commands_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/CommandProtocolTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../sdk/SdkTestSupport.cpp
  LIBS station
  TIMEOUT 120)
target_include_directories(station_commands_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../sdk)
