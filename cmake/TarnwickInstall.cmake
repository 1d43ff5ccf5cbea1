# Installing Tarnwick where the freedesktop specifications expect its parts,
# and packing it as a Debian package (cpack -G DEB). The program itself and
# the shipped tables are installed beside the targets in the top file.
include(GNUInstallDirs)

# One id for the desktop entry, the icon and the AppStream file (and for the
# program's own windows, DefaultGopherProgram::DesktopId).
set(TWK_APP_ID io.github.tarnwick.Tarnwick)
set(TWK_DESKTOP_DIR ${PROJECT_SOURCE_DIR}/share/desktop)
set(TWK_DESKTOP_FILE ${TWK_DESKTOP_DIR}/${TWK_APP_ID}.desktop)
set(TWK_METAINFO_FILE ${TWK_DESKTOP_DIR}/${TWK_APP_ID}.metainfo.xml)

# The program finds its installed tables here when it has been moved away
# from the prefix it was built for (the search tries share/tarnwick beside
# its own bin directory first).
set_property(SOURCE settings/programfiles.cpp APPEND PROPERTY COMPILE_DEFINITIONS
  TWK_INSTALL_DATADIR="${CMAKE_INSTALL_FULL_DATADIR}/tarnwick")

install(FILES ${TWK_DESKTOP_FILE} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${TWK_METAINFO_FILE} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${TWK_DESKTOP_DIR}/tarnwick.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${TWK_APP_ID}.svg)
# The PNGs are rendered from the SVG by scripts/render-icons and kept in the tree.
foreach(size 16 32 48 64 128 256)
  install(FILES ${TWK_DESKTOP_DIR}/icons/tarnwick-${size}.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
    RENAME ${TWK_APP_ID}.png)
endforeach()
# Debian keeps manual pages compressed; -n leaves the name and time out, so
# the package is the same from build to build.
set(TWK_MAN_PAGE ${CMAKE_CURRENT_BINARY_DIR}/tarnwick.1.gz)
add_custom_command(OUTPUT ${TWK_MAN_PAGE}
  COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/share/man/tarnwick.1 > ${TWK_MAN_PAGE}
  DEPENDS ${PROJECT_SOURCE_DIR}/share/man/tarnwick.1 VERBATIM)
add_custom_target(tarnwick_man ALL DEPENDS ${TWK_MAN_PAGE})
install(FILES ${TWK_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The sample gopherspace, for a Gopher server to serve (its search script
# keeps its execute bit).
set(TWK_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/tarnwick)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/share/gopherspace
  DESTINATION ${TWK_DOC_DIR}/examples USE_SOURCE_PERMISSIONS)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${TWK_DOC_DIR})

# cpack -G DEB
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VENDOR "The Tarnwick developers")
set(TWK_MAINTAINER "Tarnwick developers <tarnwick@localhost>" CACHE STRING
  "The Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${TWK_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop client for Gopher and Gopher+")
set(CPACK_PACKAGE_DESCRIPTION
  "Tarnwick browses Gopher and Gopher+ servers: menus with a navigator tree, texts, index\n"
  "searches, CSO phone books, ask forms, downloads, bookmarks and printing, every item in a\n"
  "window of its own. It opens gopher: links from other programs in the running program.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
# The Qt libraries and what they need come from dpkg-shlibdeps; the icon
# theme draws the toolbar, xdg-utils opens viewers and sets the handler.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "breeze-icon-theme, xdg-utils, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "pygopherd | gophernicus")
include(CPack)
