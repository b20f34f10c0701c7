# The Debian package: `cpack -G DEB` in the build folder makes
# sonfeld_<version>_<arch>.deb from what Install.cmake installs, under /usr.
if(NOT TARGET sonfeld)
  return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME sonfeld)
# The project's version, as the program shows it in its window and with --version.
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Sonfeld developers")
# "Name <mail>" of whoever builds the package for a distribution.
set(SONFELD_MAINTAINER "Sonfeld developers" CACHE STRING "The Debian package's maintainer")
set(CPACK_PACKAGE_CONTACT "${SONFELD_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "audio CD ripper with a Chinese interface")
set(CPACK_PACKAGE_DESCRIPTION
    "Sonfeld lists the tracks of an audio CD, reads the chosen ones with full \
verification and encodes each into an APE, WAV, Ogg Vorbis, FLAC or MP3 file. \
CUE/BIN, TOC and NRG disc images can be opened as drives, and a command-line \
mode lists and rips without a window.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
if(SONFELD_HOMEPAGE)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${SONFELD_HOMEPAGE}")
endif()
# The libraries the program and libcdrip.so link, with their versions, come
# from dpkg-shlibdeps; the list below is what it cannot see: the libraries the
# bindings load by file name (libmp3lame.so.0, libFLAC.so.12, libvorbis.so.0,
# libvorbisenc.so.2, libvorbisfile.so.3, libogg.so.0, libopusenc.so.0), the Qt parts and data
# the program needs beyond what it links (the SVG icon engine among them), and
# the font for the Chinese texts.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libmp3lame0, libmpg123-0, libflac12, libvorbis0a, libvorbisenc2, libvorbisfile3, libogg0, libopusenc0, \
libqt6network6 (>= 6.4), libqt6svg6, libtag1v5, qt6-translations-l10n, fonts-noto-cjk")
# FFmpeg's libraries decode APE, WavPack, TTA and ALAC disc images, and
# libebur128 measures ReplayGain; without them only those images are refused
# and only ReplayGain is left out.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libavformat59, libavcodec59, libavutil57, libebur128-1")

include(CPack)
