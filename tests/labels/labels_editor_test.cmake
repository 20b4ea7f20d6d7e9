if(NOT TARGET PkgConfig::ZBAR)
  pkg_check_modules(ZBAR REQUIRED IMPORTED_TARGET zbar)
endif()
station_add_test(labels_editor_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/QRCodePrintSettingTest.cpp ${CMAKE_CURRENT_LIST_DIR}/ZbarReader.cpp
  LIBS labels PkgConfig::ZBAR)
station_add_test(labels_editor_item_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CustomLabelTest.cpp ${CMAKE_CURRENT_LIST_DIR}/CustomContentDlgTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/ZbarReader.cpp
  LIBS labels PkgConfig::ZBAR)
# The tests fill the Designer forms through their generated classes.
set_target_properties(labels_editor_test labels_editor_item_test
  PROPERTIES AUTOUIC_SEARCH_PATHS ${PROJECT_SOURCE_DIR}/labels)
