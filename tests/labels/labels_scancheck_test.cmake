station_add_test(labels_scancheck_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CheckQRCodeDlgTest.cpp
  LIBS labels)
