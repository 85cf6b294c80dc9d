# The Debian package kvflash through CPack's DEB generator (scripts/package.sh builds it).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kvflash)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "kvflash developers <kvflash@example.com>")
set(CPACK_PACKAGE_VENDOR "kvflash developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "serial flash programmers for Ostrel, KV40 and KV41 microcontrollers")
# The extended description (CPack puts the summary above it as the synopsis).
set(CPACK_PACKAGE_DESCRIPTION "flash is a graphical programmer for the on-chip flash of Ostrel chips; serburn
is a console in-system programmer for KV40 and KV41 chips, for scripts and
build tools; kvsim is a simulated board on a pseudo-terminal for trying both
without hardware. The sample chip database, control programs and modules are
included.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
