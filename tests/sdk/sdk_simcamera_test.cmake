station_add_test(sdk_simcamera_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/SdkSimCameraTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SdkTestSupport.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SdkTestSupport.h
  LIBS sdk
  TIMEOUT 300)
