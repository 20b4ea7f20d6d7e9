station_add_test(tputlib_compat_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TputCompatTest.cpp
  LIBS tputlib
  TIMEOUT 60)
