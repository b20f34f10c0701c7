if(TARGET sonfeld_ctdb)
  sonfeld_add_fuzzer(ctdb_answer_fuzz
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/ctdb_answer_fuzz.cpp LIBS sonfeld_ctdb)
endif()
