station_add_test(station_stream_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/StreamThreadTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PlayFixture.h
    ${CMAKE_CURRENT_LIST_DIR}/../sdk/SdkTestSupport.cpp
  LIBS station
  TIMEOUT 400)
target_include_directories(station_stream_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../sdk)
