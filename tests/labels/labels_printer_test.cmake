if(NOT TARGET PkgConfig::ZBAR)
  pkg_check_modules(ZBAR REQUIRED IMPORTED_TARGET zbar)
endif()
station_add_test(labels_printer_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/LabelPrinterTest.cpp ${CMAKE_CURRENT_LIST_DIR}/ZbarReader.cpp
  LIBS labels PkgConfig::ZBAR)
