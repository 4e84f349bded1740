# The Debian package made from the install rules by `cpack -G DEB` in the
# build tree: koruview_VERSION_ARCH.deb. Included last from the top
# CMakeLists.txt.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME koruview)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The KORU VIEW developers")
set(CPACK_PACKAGE_CONTACT "The KORU VIEW developers <koruview@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for multichannel cardiac electrogram recordings")
set(CPACK_PACKAGE_DESCRIPTION
    "KORU VIEW opens recordings of up to eight channels of digitised cardiac\n"
    "signals, pages through them, tags and measures a stretch, marks beats, and\n"
    "saves, appends, prints or converts the data. The koru tool runs the same\n"
    "file operations from scripts, without a window.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link give the dependencies.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The help guide opens in the desktop's browser.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
