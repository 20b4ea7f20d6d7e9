# Every window of the station on two screen sizes. The main window starts the
# throughput server (port 3600).
station_add_test(main_layout_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/WindowFitTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FitCheck.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FitCheck.h
  LIBS mainshell
  RESOURCE_LOCK port3600
  TIMEOUT 300)
