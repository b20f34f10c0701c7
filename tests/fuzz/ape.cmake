if(TARGET sonfeld_ape_codec)
  sonfeld_add_fuzzer(ape_start_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/ape_start_fuzz.cpp
                     LIBS sonfeld_ape_codec)
endif()
