# The Debian package, made by CPack from the install rules.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velkarn3-pano)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Velkarn3 Pano developers <velkarn3-pano@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "companion program of the Velkarn3 satellite-dish finder and signal meter")
set(CPACK_PACKAGE_DESCRIPTION
  "Shows the meter's live spectrum panorama, reads, edits, saves and writes back\n\
its settings (transponders with DiSEqC inputs and dish-motor positions, site\n\
coordinates, battery and Zener values) and updates its firmware from an Intel\n\
HEX file. The meter is reached over USB (16c0:05df); the udev rule lets the\n\
logged-in user open it without root.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Library dependencies (Qt 6, libusb-0.1) are read off the binary.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The transponder plans the satellite naming reads (/usr/share/dvb/dvb-s);
# CPack adds the libraries read off the binary to it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "dtv-scan-tables")
# The rule carries TAG+="uaccess", which systemd-logind acts on; Liberation
# Sans is the Arial-metric font the window is laid out for.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "systemd | udev, fonts-liberation2")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/packaging/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
