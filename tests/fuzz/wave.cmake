if(TARGET sonfeld_wave)
  sonfeld_add_fuzzer(wave_in_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/wave_in_fuzz.cpp LIBS sonfeld_wave)
  sonfeld_add_fuzzer(wave_header_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/wave_header_fuzz.cpp LIBS sonfeld_wave)
endif()
