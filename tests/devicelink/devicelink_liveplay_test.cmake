station_add_test(devicelink_liveplay_test GL
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/LivePlayTest.cpp ${CMAKE_CURRENT_LIST_DIR}/TestPictures.cpp
  LIBS devicelink)
