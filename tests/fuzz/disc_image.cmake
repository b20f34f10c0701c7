# The checks an NRG image or a TOC file passes before libcdio may read it;
# what they let through is then read by libcdio itself.
if(TARGET sonfeld_image_check)
  pkg_check_modules(FUZZ_CDIO REQUIRED IMPORTED_TARGET libcdio)
  sonfeld_add_fuzzer(nrg_image_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/disc_image_fuzz.cpp
                     LIBS sonfeld_image_check PkgConfig::FUZZ_CDIO)
  target_compile_definitions(nrg_image_fuzz PRIVATE IMAGE_SUFFIX=".nrg")
  sonfeld_add_fuzzer(toc_image_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/disc_image_fuzz.cpp
                     LIBS sonfeld_image_check PkgConfig::FUZZ_CDIO)
  target_compile_definitions(toc_image_fuzz PRIVATE IMAGE_SUFFIX=".toc")
endif()
