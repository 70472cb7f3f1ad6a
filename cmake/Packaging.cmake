# The Debian package: `cpack -G DEB` in the build folder (or the `package`
# target) makes quelma_<version>_<arch>.deb from the installation, with the
# dependencies that dpkg-shlibdeps finds in the two programs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quelma)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The QUELMA developers")
set(CPACK_PACKAGE_CONTACT "The QUELMA developers <quelma@quelma.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The first line is the synopsis, the rest the long description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "desktop fire painter
QUELMA lets you draw light sources with the mouse on a translucent window
over the desktop; each one leaves a rising, flickering flame that burns above
the other windows without getting in their way. Styles and drawings are saved
as state files, pictures can be turned into burning art, and global hot keys
toggle drawing, the flame and the settings.
.
The package also holds quelma-render, which runs the flame engine without a
display and writes its frames as PNG pictures or as one animated WebP or GIF
picture.
.
The user manual is shown on the program's Help tab and installed beside the
manual pages quelma(1) and quelma-render(1).")
# Debian's own way with documentation: manual pages and the changelog
# compressed.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/CompressDebianDocs.cmake)
include(CPack)
