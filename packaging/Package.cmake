# The Debian package: cmake --build build --target package makes
# lumiboard_<version>_<arch>.deb of everything a plain cmake --install puts in,
# under /usr. A program added later needs only its own install() line.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lumiboard)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "lumiboard developers <lumiboard@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Software for the USB LED message panel")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "lumiboard composes, previews and sends messages to the USB LED message panel and\n"
    "sets its clock and alarm; glyphsmith designs the panel's character set. With the\n"
    "panel's USB library (libmpusbapi.so, on libusb), a virtual panel (panelsim) and\n"
    "the udev rule that gives the seat's user access to the panel.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_LIST_DIR}/debian/postinst ${CMAKE_CURRENT_LIST_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
