station_add_test(devicelink_videoform_test GL
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/VideoFormTest.cpp ${CMAKE_CURRENT_LIST_DIR}/TestPictures.cpp
  LIBS devicelink)
