# Continuous integration sets CI=true: there a warning fails the build.
if("$ENV{CI}" STREQUAL "true")
  set(sonfeld_werror_default ON)
else()
  set(sonfeld_werror_default OFF)
endif()
option(SONFELD_WERROR "Treat warnings in the project's own code as errors" ${sonfeld_werror_default})

# Warnings for the project's own code; third-party headers are included as SYSTEM.
add_library(sonfeld_warnings INTERFACE)
target_compile_options(sonfeld_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow
                                                  -Wnon-virtual-dtor -Werror=return-type)
if(SONFELD_WERROR)
  target_compile_options(sonfeld_warnings INTERFACE -Werror)
endif()

# Gives target its own include folder, in which only src/<dir> is visible (as
# "<dir>/..."). A target then reaches the headers of the targets it links and
# no others: a format cannot include another format's or the CD folder's headers.
function(sonfeld_public_headers target dir)
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  get_filename_component(parent ${root}/${dir} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(NOT EXISTS ${root}/${dir})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${dir} ${root}/${dir} SYMBOLIC)
  endif()
  target_include_directories(${target} PUBLIC ${root})
endfunction()

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
  # For the target threaded_tests, which the ThreadSanitizer build builds alone.
  if(ARG_LABELS STREQUAL "threads")
    set_property(GLOBAL APPEND PROPERTY SONFELD_THREADED_TESTS ${name})
  endif()
endfunction()

# Adds the folder dir (relative to the current source folder) unless its last
# name is listed in SONFELD_SKIP. A folder that does not exist is an error: a
# misspelt or moved part must not drop out of the build unnoticed.
function(sonfeld_add_part dir)
  get_filename_component(part ${dir} NAME)
  if(part IN_LIST SONFELD_SKIP)
    return()
  endif()
  if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
    message(FATAL_ERROR "sonfeld_add_part(${dir}): no CMakeLists.txt in ${CMAKE_CURRENT_SOURCE_DIR}/${dir}")
  endif()
  add_subdirectory(${dir})
endfunction()
