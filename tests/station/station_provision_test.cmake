# The provisioning jobs against the back-end simulator (tools/backend-sim).
station_add_test(station_provision_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ProvisionTest.cpp
  LIBS station backendsim
  TIMEOUT 300)
