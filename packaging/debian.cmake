# "cpack -G DEB" in the build folder makes a Debian package of everything the
# install rules install. Its dependencies come from dpkg-shlibdeps, which
# sees the distribution's codec libraries through the Plugins folder.
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zelph)
set(changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${changelog}
  COMMAND gzip -9n -c ${CMAKE_CURRENT_LIST_DIR}/changelog > ${changelog}
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/changelog VERBATIM)
add_custom_target(zelph_changelog ALL DEPENDS ${changelog})
install(FILES ${changelog} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/zelph)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zelph)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Zelph developers <developers@zelph.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "audio converter for WAV, MP3, Ogg Vorbis, Monkey's Audio, FLAC and Opus")
# CPack puts the summary line above this text itself.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Zelph Audio Converter lists music files (PCM WAV, MP3 and MP2, Ogg Vorbis,
FLAC and FLAC in Ogg, Opus, Monkey's Audio, TwinVQ, and CD images split by
their CUE sheets) with each file's size and format, and converts the whole list to one target: WAV, MP3 through the LAME,
Blade or GoGo encoder, Ogg Vorbis, Monkey's Audio, FLAC or Opus. MP2 and
TwinVQ files are described, not converted.
.
The package holds the desktop program zelph and the command-line tool
zelph-convert, which share the same settings file.")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://zelph.org/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libcue2 (CUE sheets) is linked, so dpkg-shlibdeps adds it like the rest.
# Loaded by Qt, not linked: the SVG icon engine draws every icon.
set(CPACK_DEBIAN_PACKAGE_DEPENDS libqt6svg6)
# The end-of-batch notice goes through notify-send.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS libnotify-bin)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
