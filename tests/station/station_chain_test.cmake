# Needs the back-end simulator library (tools/backend-sim) for the custom MAC.
station_add_test(station_chain_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ChainTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/VersionPromptTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ChainFixture.h
  LIBS station sdk_test_support backendsim
  TIMEOUT 600)
