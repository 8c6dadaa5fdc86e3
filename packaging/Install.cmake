# Install rules for the three programs and their documentation, and the
# Debian package (make deb runs cpack -G DEB). Everything takes its version
# from project() in the top CMakeLists.txt.
include(GNUInstallDirs)
find_program(GZIP_PROGRAM gzip REQUIRED)

install(TARGETS tessal vorn-synth mseed-inspect RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The copyright notice and the changelog belong in share/doc/tessal. The
# changelog is in Debian's format, as the package's own changelog must be;
# it is compressed like the manual pages.
set(TESSAL_MAINTAINER "Tessal developers <tessal@example.org>"
    CACHE STRING "Maintainer named in the Debian package and its changelog")
# Dated when the build is configured (or at SOURCE_DATE_EPOCH when set).
string(TIMESTAMP TESSAL_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(CHANGELOG ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog.in ${CHANGELOG} @ONLY)
add_custom_command(
  OUTPUT ${CHANGELOG}.gz
  COMMAND ${GZIP_PROGRAM} -9nkf ${CHANGELOG}
  DEPENDS ${CHANGELOG}
  VERBATIM)
add_custom_target(tessal_changelog ALL DEPENDS ${CHANGELOG}.gz)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/packaging/copyright ${CHANGELOG}.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessal)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Tessal developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert VORN seismic recordings to MiniSEED")
set(CPACK_PACKAGE_DESCRIPTION
    "Tessal converts recordings made by VORN field recorders into MiniSEED:
every channel becomes 512-byte data records with the SEED fixed data
header, blockette 1000 and Steim-2 compressed samples, optionally with a
network code. Every sample is carried exactly.
.
The package also holds vorn-synth, which writes synthetic VORN recordings,
and mseed-inspect, which summarises and checks files of MiniSEED records
and draws quick-look plots of them.")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TESSAL_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/packaging/StripPrograms.cmake)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
