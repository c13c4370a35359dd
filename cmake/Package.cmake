# The Debian package: `cpack -G DEB` in the build folder, after the build.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarvik)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${TARVIK_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "settings of a USB gaming keyboard: keys, macros, lighting")
# The long description; CPack puts the summary above it and indents it as the control file wants.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tarvik configures a USB mechanical gaming keyboard with per-key RGB lighting,
nine macro keys and three on-board profiles: key assignments, macros that the
keyboard plays by itself, lighting effects and per-key colours, profile
switching, report rate, and import and export of the whole configuration.

The package holds the program, the command-line tool tarvikctl, the HID
service library, the virtual keyboard portmux-sim for trying everything
without the hardware, and a udev rule that lets the user at the seat open the
keyboard without root.")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://example.org/tarvik/")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The shared libraries the programs and the service library use, as dpkg-shlibdeps finds them, plus what
# is loaded at run time: the CJK font of the Chinese texts and, with the windowed program, Qt's platform
# plugins (X11 in the Depends, Wayland as a recommendation).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(tarvik_depends fonts-wqy-microhei)
if(TARGET tarvik)
  list(APPEND tarvik_depends qt6-qpa-plugins)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)
endif()
string(JOIN ", " CPACK_DEBIAN_PACKAGE_DEPENDS ${tarvik_depends})
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${TARVIK_PACKAGING_DIR}/postinst ${TARVIK_PACKAGING_DIR}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
