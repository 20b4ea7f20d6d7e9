station_add_test(devicelink_render_test GL
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/RenderTest.cpp ${CMAKE_CURRENT_LIST_DIR}/TestPictures.cpp
  LIBS devicelink)
