station_add_test(tputlib_reporter_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TputReporterTest.cpp ${CMAKE_CURRENT_LIST_DIR}/TputTestSupport.cpp
  LIBS tputlib tputclient
  TIMEOUT 60)
