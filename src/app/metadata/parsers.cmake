# The metadata model and the parsers of the services' answers: Qt Core only,
# so the fuzz build, which has no application, can build them too.
find_package(Qt6 REQUIRED COMPONENTS Core)
add_library(sonfeld_metadata_parsers STATIC
  ${CMAKE_CURRENT_LIST_DIR}/disc_metadata.cpp
  ${CMAKE_CURRENT_LIST_DIR}/musicbrainz_mapping.cpp
  ${CMAKE_CURRENT_LIST_DIR}/xmcd_parser.cpp)
sonfeld_public_headers(sonfeld_metadata_parsers app/metadata)
target_link_libraries(sonfeld_metadata_parsers PUBLIC Qt6::Core PRIVATE sonfeld_warnings)
