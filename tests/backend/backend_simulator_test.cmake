# The back-end simulator's own fixtures (tools/backend-sim), against the sample LAN profiles.
station_add_test(backend_simulator_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/BackendSimulatorTest.cpp
  LIBS backend backendsim sdk
  TIMEOUT 120)
