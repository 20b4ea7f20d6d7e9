station_add_test(station_replies_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/RepliesTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ControllerFixture.h
  LIBS station
  TIMEOUT 120)
