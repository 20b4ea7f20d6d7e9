station_add_test(sdk_simcamera_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/SdkSimCameraTest.cpp
  LIBS sdk sdk_test_support
  TIMEOUT 300)
