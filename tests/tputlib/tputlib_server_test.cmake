station_add_test(tputlib_server_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TputServerTest.cpp ${CMAKE_CURRENT_LIST_DIR}/TputTestSupport.cpp
  LIBS tputlib tputclient
  TIMEOUT 120)
