station_add_test(devicelink_bridge_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/DeviceEventBridgeTest.cpp
  LIBS devicelink sdk
  TIMEOUT 120)

station_add_test(devicelink_audio_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/AudioPlayerTest.cpp
  LIBS devicelink
  TIMEOUT 120)
