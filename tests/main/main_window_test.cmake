# The main window in-process: it starts the throughput server (port 3600) and
# the device SDK stand-in. Offscreen, so that the leak check sees every record:
# the video pane gets no GL context and is never painted here.
station_add_test(main_window_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/MainWindowRoutingTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MainWindowSessionTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/MainWindowFixture.h
  LIBS mainshell backendsim sdk_test_support
  RESOURCE_LOCK port3600
  TIMEOUT 300)
