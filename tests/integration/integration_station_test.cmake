# The station program end to end under Xvfb: it serves the throughput port
# (3600) and holds the single-instance key of "dravonix".
station_add_test(integration_station_test GL
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/StationEndToEndTest.cpp
  LIBS stationdriver backendsim
  RESOURCE_LOCK port3600 dravonix_instance
  TIMEOUT 900)
target_compile_definitions(integration_station_test PRIVATE STATION_PROGRAM="$<TARGET_FILE:dravonix>")
add_dependencies(integration_station_test dravonix)
