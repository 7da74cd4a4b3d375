# `cpack -G DEB` in a build folder makes a Debian package of what `cmake --install` puts under
# /usr: the three programs, the data files, the icon, the desktop entry and the AppStream
# metainfo. The programs find the data files relative to themselves, so the package works
# whatever prefix the build was configured with.
set(ZEPHRANE_PACKAGE_CONTACT "Zephrane maintainers <maintainers@zephrane.invalid>"
    CACHE STRING "Maintainer named in the packages")

set(CPACK_PACKAGE_NAME zephrane)
set(CPACK_PACKAGE_VENDOR "Zephrane")
set(CPACK_PACKAGE_CONTACT "${ZEPHRANE_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "turns MIDI songs into accompaniment styles for arranger keyboards")
# Lines of at most 80 characters, as the package tools show them.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Zephrane turns a type-0 Standard MIDI File into an accompaniment style for"
    "arranger keyboards (the PSR family and compatible instruments) and edits"
    "existing styles: section markers, the set-up measure, the CASM chunk, chord"
    "conversion and XG effects. zephrane is the desktop program, zephrane-cli runs"
    "its commands on whole folders of songs and zephrane-play plays a section of a"
    "style under a chord progression.")
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link (Qt, FluidSynth, the C++ runtime), as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# zephrane-play's default sound font.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fluid-soundfont-gm)

include(CPack)
