# The parsers of the metadata services' answers. The fuzz build has no
# application, so their Qt-Core-only library is taken on its own.
if(NOT TARGET sonfeld_metadata_parsers)
  find_package(Qt6 QUIET COMPONENTS Core)
  if(Qt6Core_FOUND)
    include(${PROJECT_SOURCE_DIR}/src/app/metadata/parsers.cmake)
  endif()
endif()
if(TARGET sonfeld_metadata_parsers)
  sonfeld_add_fuzzer(musicbrainz_json_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/musicbrainz_json_fuzz.cpp
                     LIBS sonfeld_metadata_parsers)
  sonfeld_add_fuzzer(xmcd_fuzz SOURCES ${CMAKE_CURRENT_LIST_DIR}/xmcd_fuzz.cpp
                     LIBS sonfeld_metadata_parsers)
endif()
