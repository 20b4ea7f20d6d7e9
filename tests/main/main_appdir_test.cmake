# The application folder the build lays out beside the station program.
station_add_test(main_appdir_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/AppFolderTest.cpp LIBS Qt5::Gui)
target_compile_definitions(main_appdir_test PRIVATE STATION_APP_DIR="${STATION_APP_DIR}")
add_dependencies(main_appdir_test station_appdir)
