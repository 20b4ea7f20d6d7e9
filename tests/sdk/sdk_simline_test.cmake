station_add_test(sdk_simline_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/SdkSimLineTest.cpp
  LIBS sdk sdk_test_support
  TIMEOUT 300)
