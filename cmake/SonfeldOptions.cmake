# Warnings for the project's own code; third-party headers are included as SYSTEM.
add_library(sonfeld_warnings INTERFACE)
target_compile_options(sonfeld_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow
                                                  -Wnon-virtual-dtor -Werror=return-type)

if(SONFELD_SANITIZE)
  add_compile_options(-fsanitize=${SONFELD_SANITIZE} -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=${SONFELD_SANITIZE})
  if(SONFELD_SANITIZE MATCHES "undefined")
    add_compile_options(-fno-sanitize-recover=undefined)
  endif()
endif()

if(SONFELD_FUZZ)
  # Everything is built with coverage so the fuzz targets see into our libraries.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=address,undefined)
endif()

# Adds a GoogleTest executable as one CTest test per case. LABELS takes one
# label (unit, integration, gui, threads or fuzz): the discovered tests cannot
# carry a list.
function(sonfeld_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main sonfeld_warnings)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  list(LENGTH ARG_LABELS label_count)
  if(NOT label_count EQUAL 1)
    message(FATAL_ERROR "sonfeld_add_test(${name}): give exactly one label")
  endif()
  gtest_discover_tests(${name} PROPERTIES LABELS ${ARG_LABELS} DISCOVERY_TIMEOUT 60)
endfunction()

# Adds the folder dir (relative to the current source folder) when it exists and
# its last name is not listed in SONFELD_SKIP.
function(sonfeld_add_part dir)
  get_filename_component(part ${dir} NAME)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt AND NOT part IN_LIST SONFELD_SKIP)
    add_subdirectory(${dir})
  endif()
endfunction()
