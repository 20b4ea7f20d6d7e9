# Needs the back-end simulator library (tools/backend-sim) for the custom MAC.
if(TARGET backendsim)
  station_add_test(station_chain_test
    SOURCES
      ${CMAKE_CURRENT_LIST_DIR}/ChainTest.cpp
      ${CMAKE_CURRENT_LIST_DIR}/VersionPromptTest.cpp
      ${CMAKE_CURRENT_LIST_DIR}/ChainFixture.h
      ${CMAKE_CURRENT_LIST_DIR}/../sdk/SdkTestSupport.cpp
    LIBS station backendsim
    TIMEOUT 600)
  target_include_directories(station_chain_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../sdk)
endif()
