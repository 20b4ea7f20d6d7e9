station_add_test(app_config_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/ConfigFileTest.cpp LIBS app)
station_add_test(app_log_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/LogTest.cpp LIBS app RESOURCE_LOCK port3000)
station_add_test(app_md5_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/Md5Test.cpp LIBS app)
station_add_test(app_helpers_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/HelpersTest.cpp LIBS app)
