station_add_test(backend_cache_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ResultCacheTest.cpp
  LIBS backend backendsim
  TIMEOUT 180)
