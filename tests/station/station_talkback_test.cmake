# TrumpetTest.mp3 lies next to the test binaries (station/CMakeLists.txt).
station_add_test(station_talkback_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/TalkBackTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/PlayFixture.h
  LIBS station sdk_test_support
  TIMEOUT 300)
