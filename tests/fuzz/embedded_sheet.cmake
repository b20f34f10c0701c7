if(TARGET sonfeld_disc)
  sonfeld_add_fuzzer(embedded_sheet_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/embedded_sheet_fuzz.cpp
                     LIBS sonfeld_disc)
endif()
