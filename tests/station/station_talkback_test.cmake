# TrumpetTest.mp3 lies next to the test binaries (station/CMakeLists.txt).
station_add_test(station_talkback_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/TalkBackTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PlayFixture.h
    ${CMAKE_CURRENT_LIST_DIR}/../sdk/SdkTestSupport.cpp
  LIBS station
  TIMEOUT 300)
target_include_directories(station_talkback_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../sdk)
