station_add_test(sdk_sim_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/SdkSimTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../tputlib/TputTestSupport.cpp
  LIBS sdk sdk_test_support tputlib tputclient
  TIMEOUT 120)
target_include_directories(sdk_sim_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../tputlib)
target_compile_definitions(sdk_sim_test PRIVATE SDK_TEST_DATA="${CMAKE_CURRENT_LIST_DIR}/data")

station_add_test(sdk_playctrl_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/SdkPlayCtrlTest.cpp
  LIBS sdk
  TIMEOUT 120)
target_compile_definitions(sdk_playctrl_test PRIVATE SDK_TEST_DATA="${CMAKE_CURRENT_LIST_DIR}/data")
