station_add_test(backend_download_test
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/DownloadTest.cpp
          ${CMAKE_CURRENT_LIST_DIR}/RawHttpServer.cpp ${CMAKE_CURRENT_LIST_DIR}/RawHttpServer.h
  LIBS backend backendsim
  TIMEOUT 120)
