station_add_test(platform_queue_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/ThreadMessageQueueTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SocketErrorCodesTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SimulatedAdapterTest.cpp
  LIBS platform
  TIMEOUT 60)
