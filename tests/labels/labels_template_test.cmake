station_add_test(labels_template_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/LabelPrintConfigTest.cpp
  LIBS labels)
