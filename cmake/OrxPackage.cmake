# The Debian package of orx (host preset), made by CPack from the install
# rules (tools/orx/install):
#
#   cmake --build --preset host && (cd build/host && cpack -G DEB)
#
# gives build/host/package/orx_<version>_<arch>.deb: /usr/bin/orx, its
# manual page, its bash completion, the release's three Windows programs for
# archives in /usr/share/orx (from the win32 release folder, see
# tools/orx/install/windows_programs.cmake), its copyright notice,
# changelog and the programs' SHA256SUMS; lintian finds no error and no
# warning in it (the test orx.installed). The dependencies (libc,
# libstdc++, libcrypto) are read from the program by dpkg-shlibdeps, so
# that `dpkg -i` on a clean machine brings what orx needs; bash-completion,
# which loads the completion, is recommended.
if(NOT ORX_HOST)
  return()
endif()

include(OrxVersion)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orx)
set(CPACK_PACKAGE_VERSION ${ORX_VERSION})
set(CPACK_PACKAGE_VENDOR "Orvanta")
set(CPACK_PACKAGE_CONTACT "Orvanta developers <orx@orvanta.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "build and open self-decrypting archives and encrypted payloads")
# The extended description in lines of at most 80 characters, as Debian's
# tools want them.
set(CPACK_PACKAGE_DESCRIPTION
  "orx builds Orvanta's self-decrypting archives and their encrypted payloads,\nand opens them on Linux without running the Windows decryptor.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS bash-completion)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
