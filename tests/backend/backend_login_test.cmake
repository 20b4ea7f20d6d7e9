station_add_test(backend_login_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/LoginDialogTest.cpp ${CMAKE_CURRENT_LIST_DIR}/PasswordScramblerTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/FakeDialogOwner.h ${CMAKE_CURRENT_LIST_DIR}/DialogAnswers.h
  LIBS backend backendsim
  TIMEOUT 180)
