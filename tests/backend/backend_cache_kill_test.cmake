add_executable(backend_cache_child ${CMAKE_CURRENT_LIST_DIR}/CacheChild.cpp ${CMAKE_CURRENT_LIST_DIR}/CacheRecordFixture.h)
target_link_libraries(backend_cache_child PRIVATE backend)
station_add_test(backend_cache_kill_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/ResultCacheKillTest.cpp ${CMAKE_CURRENT_LIST_DIR}/CacheRecordFixture.h
  LIBS backend backendsim
  TIMEOUT 300)
target_compile_definitions(backend_cache_kill_test PRIVATE CACHE_CHILD="$<TARGET_FILE:backend_cache_child>")
add_dependencies(backend_cache_kill_test backend_cache_child)
