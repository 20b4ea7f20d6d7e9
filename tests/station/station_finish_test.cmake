# The label, the scan, the submission and a camera's whole way, against the
# back-end simulator (tools/backend-sim); labels are read back with libzbar.
if(NOT TARGET PkgConfig::ZBAR)
  pkg_check_modules(ZBAR REQUIRED IMPORTED_TARGET zbar)
endif()
station_add_test(station_finish_test
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/FinishTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ChainFixture.h
    ${CMAKE_CURRENT_LIST_DIR}/../labels/ZbarReader.cpp
  LIBS station sdk_test_support backendsim PkgConfig::ZBAR
  TIMEOUT 600)
target_include_directories(station_finish_test PRIVATE ${CMAKE_CURRENT_LIST_DIR}/../labels)
