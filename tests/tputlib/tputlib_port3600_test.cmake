station_add_test(tputlib_port3600_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TputPort3600Test.cpp ${CMAKE_CURRENT_LIST_DIR}/TputTestSupport.cpp
  LIBS tputlib tputclient
  RESOURCE_LOCK port3600
  TIMEOUT 60)
