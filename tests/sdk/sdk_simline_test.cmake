station_add_test(sdk_simline_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/SdkSimLineTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SdkTestSupport.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SdkTestSupport.h
  LIBS sdk
  TIMEOUT 300)
