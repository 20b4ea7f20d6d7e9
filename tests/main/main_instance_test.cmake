# The child runs the start-up pieces in a process of their own; its symbols are
# exported so that crash backtraces name its functions.
add_executable(main_instance_child ${CMAKE_CURRENT_LIST_DIR}/InstanceChild.cpp)
target_link_libraries(main_instance_child PRIVATE mainshell)
set_target_properties(main_instance_child PROPERTIES ENABLE_EXPORTS ON)

add_library(main_child_support STATIC ${CMAKE_CURRENT_LIST_DIR}/ChildStation.cpp ${CMAKE_CURRENT_LIST_DIR}/ChildStation.h)
target_include_directories(main_child_support PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(main_child_support PUBLIC mainshell Qt5::Core)
target_compile_definitions(main_child_support PUBLIC INSTANCE_CHILD="$<TARGET_FILE:main_instance_child>")
add_dependencies(main_child_support main_instance_child)

station_add_test(main_instance_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/SingleApplicationTest.cpp
  LIBS main_child_support
  TIMEOUT 300)
station_add_test(main_crash_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/CrashDumpTest.cpp
  LIBS main_child_support
  TIMEOUT 300)
