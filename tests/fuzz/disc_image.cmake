# Our TOC and NRG readers on arbitrary files.
if(TARGET sonfeld_disc)
  sonfeld_add_fuzzer(nrg_image_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/disc_image_fuzz.cpp
                     LIBS sonfeld_disc)
  target_compile_definitions(nrg_image_fuzz PRIVATE IMAGE_SUFFIX=".nrg")
  sonfeld_add_fuzzer(toc_image_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/disc_image_fuzz.cpp
                     LIBS sonfeld_disc)
  target_compile_definitions(toc_image_fuzz PRIVATE IMAGE_SUFFIX=".toc")
endif()
