# The Debian package, built by tools/package.sh with cpack -G DEB.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmark)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Tarvenor)
set(CPACK_PACKAGE_CONTACT "Tarvenor <info@tarvenor.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configuration tool for RDS encoders on a serial line")
set(CPACK_PACKAGE_DESCRIPTION [=[
Quillmark configures an RDS encoder, the device that adds the Radio Data
System stream to an FM transmitter, over an RS-232 line at 2400 bit/s. It
edits a mirror of the encoder's memory (PI code, PS names and their sequence,
programme type, alternative frequencies and RadioText, for two data sets),
sends and reads it block by block or whole, and keeps stations in .rds files.
.
The package also holds quillmark-encoder-sim, a simulated encoder on a
pseudo-terminal for trying the program and scripts without a transmitter.]=])
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.tarvenor.com/)
# The dependencies are what the programs link, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its Wayland platform as a plugin, which no link shows: without it a Wayland
# session runs the program through XWayland, or not at all when there is no X server.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/compress.cmake)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
