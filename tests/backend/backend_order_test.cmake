station_add_test(backend_order_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/OrderDialogTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/FakeDialogOwner.h ${CMAKE_CURRENT_LIST_DIR}/DialogAnswers.h
  LIBS backend backendsim
  TIMEOUT 240)
