# What `cmake --install` puts under CMAKE_INSTALL_PREFIX: the program in bin/,
# our own run-time libraries in lib/sonfeld/, and in share/ the help page, the
# menu entry, its icons, the AppStream metainfo, the gzipped man page and the
# copyright file.
include(GNUInstallDirs)
include(${CMAKE_CURRENT_LIST_DIR}/Metainfo.cmake)

# The project's web address, for the metainfo's home page and screenshots and
# the package's Homepage. Left empty, both go without.
set(SONFELD_HOMEPAGE "" CACHE STRING "The project's web address (https://...), if it has one")
# The one id of the metainfo file and component. The project holds no domain
# of its own, so the id lies under "local", which nobody can register
# (RFC 6762): it names no one else's domain. appstreamcli notes it as maybe
# not reverse-DNS, which is no error.
set(SONFELD_APPSTREAM_ID local.sonfeld.sonfeld)

if(NOT TARGET sonfeld)
  return()
endif()

# Not the multiarch library folder: the program finds these libraries by file
# name relative to its own folder (../lib/sonfeld), like the build's bin/.
set(SONFELD_INSTALL_PRIVATE_LIBDIR lib/sonfeld)
set(SONFELD_INSTALL_HELPDIR ${CMAKE_INSTALL_DATADIR}/sonfeld/help)
set(data_dir ${PROJECT_SOURCE_DIR}/data)

# Nothing private is linked today (our libraries are loaded by file name), but
# whatever is found through the loader must come from our own folder.
set_target_properties(sonfeld PROPERTIES INSTALL_RPATH "$ORIGIN/../${SONFELD_INSTALL_PRIVATE_LIBDIR}")
install(TARGETS sonfeld RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# Every library of ours that the program loads by file name (libcdrip.so,
# libsonfeld_ape.so, libsonfeld_tags.so): the install test checks the list
# against the file names in the sources.
foreach(library cdrip sonfeld_ape sonfeld_tags)
  if(TARGET ${library})
    install(TARGETS ${library} LIBRARY DESTINATION ${SONFELD_INSTALL_PRIVATE_LIBDIR})
  endif()
endforeach()

# The copy the build made beside the program.
install(DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/help/ DESTINATION ${SONFELD_INSTALL_HELPDIR})

install(FILES ${data_dir}/sonfeld.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
set(metainfo ${CMAKE_BINARY_DIR}/data/${SONFELD_APPSTREAM_ID}.metainfo.xml)
sonfeld_write_metainfo(${data_dir}/${SONFELD_APPSTREAM_ID}.metainfo.xml.in ${metainfo}
                       ${PROJECT_VERSION} ${SONFELD_RELEASE_DATE} "${SONFELD_HOMEPAGE}")
install(FILES ${metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${data_dir}/copyright ${PROJECT_SOURCE_DIR}/docs/json-output.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/sonfeld)

# The man page carries the version; Debian wants it gzipped (-n: no time
# stamp, so the same sources give the same file).
configure_file(${data_dir}/sonfeld.1.in ${CMAKE_BINARY_DIR}/data/sonfeld.1 @ONLY)
find_program(SONFELD_GZIP gzip REQUIRED)
set(man_gz ${CMAKE_BINARY_DIR}/data/sonfeld.1.gz)
add_custom_command(OUTPUT ${man_gz}
  COMMAND ${SONFELD_GZIP} -9 -n -k -f ${CMAKE_BINARY_DIR}/data/sonfeld.1
  DEPENDS ${CMAKE_BINARY_DIR}/data/sonfeld.1
  VERBATIM)
add_custom_target(sonfeld_man_page ALL DEPENDS ${man_gz})
add_dependencies(sonfeld sonfeld_man_page)
install(FILES ${man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The icon: the hand-drawn SVG, and PNGs rendered from it for the sizes menus ask for.
set(icon_svg ${data_dir}/icons/sonfeld.svg)
set(icon_theme ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${icon_svg} DESTINATION ${icon_theme}/scalable/apps)
find_program(SONFELD_RSVG_CONVERT rsvg-convert)
if(NOT SONFELD_RSVG_CONVERT)
  message(WARNING "rsvg-convert (librsvg2-bin) is missing: the PNG icons are neither made nor installed")
  return()
endif()
set(icon_pngs)
foreach(size 16 22 24 32 48 64 128 256)
  set(png ${CMAKE_BINARY_DIR}/icons/${size}x${size}/sonfeld.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
    COMMAND ${SONFELD_RSVG_CONVERT} --width ${size} --height ${size} --output ${png} ${icon_svg}
    DEPENDS ${icon_svg}
    VERBATIM)
  list(APPEND icon_pngs ${png})
  install(FILES ${png} DESTINATION ${icon_theme}/${size}x${size}/apps)
endforeach()
add_custom_target(sonfeld_theme_icons ALL DEPENDS ${icon_pngs})
# Built with the program, so installing after building only the program works.
add_dependencies(sonfeld sonfeld_theme_icons)
