station_add_test(backend_form_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/TestDataFormTest.cpp
  LIBS backend backendsim
  TIMEOUT 120)
