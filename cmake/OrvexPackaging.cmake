# The Debian package of the three programs: `scripts/package` configures the `package` preset
# (release, prefix /usr) and runs `cpack -G DEB` in its build folder. What goes in is what
# `cmake --install` installs; the dependencies are read from the binaries by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Orvex developers")
set(ORVEX_PACKAGE_MAINTAINER "Orvex developers <maintainers@orvex.org>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${ORVEX_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor and remote control for a karaoke and home-theatre audio processor")
# The summary is the package's one-line synopsis; this is the text under it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "The editor reaches the multi-channel audio processor over USB HID or through its
network host, reads its whole parameter image, shows it on editing pages and
sends every change at once. orvexctl is the command-line remote control and
preset tool; orvex-sim simulates the processor and its network host on loopback.")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Chinese interface needs a CJK font; Qt's own dialogs are translated only with its tables.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
# The udev rule goes to an absolute folder (/lib/udev/rules.d): staging through DESTDIR keeps it in
# the package instead of on the building machine.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
if(NOT CMAKE_INSTALL_PREFIX STREQUAL "/usr")
    message(STATUS "Packaging: the install prefix is ${CMAKE_INSTALL_PREFIX}; a Debian package wants /usr "
                   "(the package preset sets it)")
endif()
include(CPack)
