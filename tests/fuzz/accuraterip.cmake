if(TARGET sonfeld_verify)
  sonfeld_add_fuzzer(accuraterip_database_fuzz
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/accuraterip_database_fuzz.cpp LIBS sonfeld_verify)
endif()
