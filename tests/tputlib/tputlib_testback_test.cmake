station_add_test(tputlib_testback_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TputTestBackTest.cpp ${CMAKE_CURRENT_LIST_DIR}/TputTestSupport.cpp
  LIBS tputlib tputclient
  TIMEOUT 180)
