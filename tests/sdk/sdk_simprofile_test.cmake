station_add_test(sdk_simprofile_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/SdkSimProfileTest.cpp
  LIBS sdk sdk_test_support
  TIMEOUT 300)
