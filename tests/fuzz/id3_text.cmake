if(TARGET sonfeld_mp3)
  sonfeld_add_fuzzer(id3_text_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/id3_text_fuzz.cpp LIBS sonfeld_mp3)
endif()
