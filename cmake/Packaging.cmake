# The Debian package: `cmake --build --preset release && cpack --preset release` writes
# build/release/zandrel_VERSION_ARCH.deb from the install rules. Depends is computed from the
# libraries the program links (dpkg-shlibdeps, from dpkg-dev).
include(GNUInstallDirs)

set(ZANDREL_MAINTAINER "Zandrel maintainers <maintainers@zandrel.invalid>"
    CACHE STRING "The package's Maintainer field")

# Debian asks for a copyright file and a changelog beside every package's documentation.
set(ZANDREL_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/zandrel)
string(TIMESTAMP ZANDREL_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.gz
  COMMAND gzip -9nf -k changelog
  DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/packaging)
add_custom_target(zandrel_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${ZANDREL_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zandrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zandrel")
set(CPACK_PACKAGE_CONTACT "${ZANDREL_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find Internet domain names that are still free")
# Lines under 80 columns, "." for a blank line, as Debian's control files ask.
set(CPACK_PACKAGE_DESCRIPTION
    "Zandrel asks the registry of each domain name, over WHOIS (TCP port 43) or
RDAP (HTTPS), whether the name is registered, shows the answer as it arrives
and sorts the names into those reported free and the web addresses of those
that exist. A combination search looks up every pairing of a prefix word list
with a suffix word list, paced by a delay, keeps a journal so that a search
cut off can be resumed, and writes a text, an HTML and a CSV report.
.
The same lookups run without a window from the command line: zandrel --check
prints one tab-separated or JSON line per name, zandrel --batch runs a
combination search.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${ZANDREL_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps cannot see them: the platform plugins that show the window,
# the SVG plugin that draws its icon and the public suffix list read by libpsl.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# xdg-open opens the report, the word lists and the links.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6svg6, publicsuffix, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
