station_add_test(station_commands_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/CommandProtocolTest.cpp
  LIBS station sdk_test_support
  TIMEOUT 120)
