station_add_test(platform_crashdump_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CrashDumpPathsTest.cpp
  LIBS platform
  TIMEOUT 60)
