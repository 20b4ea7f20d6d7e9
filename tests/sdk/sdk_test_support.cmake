# The SDK event recorder and simulated-line helpers, shared by the sdk, station
# and wifitest tests: built once, linked by each.
add_library(sdk_test_support STATIC ${CMAKE_CURRENT_LIST_DIR}/SdkTestSupport.cpp ${CMAKE_CURRENT_LIST_DIR}/SdkTestSupport.h)
target_include_directories(sdk_test_support PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(sdk_test_support PUBLIC sdk GTest::gtest Qt5::Core)
