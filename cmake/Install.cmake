# What `cmake --install` puts under CMAKE_INSTALL_PREFIX: the program in bin/,
# our own run-time libraries in lib/sonfeld/, and in share/ the help page, the
# menu entry, its icons, the AppStream metainfo and the man page.
include(GNUInstallDirs)

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
foreach(library cdrip sonfeld_ape)
  if(TARGET ${library})
    install(TARGETS ${library} LIBRARY DESTINATION ${SONFELD_INSTALL_PRIVATE_LIBDIR})
  endif()
endforeach()

# The copy the build made beside the program.
install(DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/help/ DESTINATION ${SONFELD_INSTALL_HELPDIR})

install(FILES ${data_dir}/sonfeld.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${data_dir}/org.example.sonfeld.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${data_dir}/sonfeld.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

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
