# SPDX-License-Identifier: GPL-3.0-or-later
# Install layout (GNU directories) and the Debian package.
include(GNUInstallDirs)

install(TARGETS veltravor veltravor-cli veltravor-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Desktop integration: entry, icons, MIME type of project files, AppStream data.
set(app_id org.example.veltravor)
install(FILES dist/${app_id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES dist/${app_id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES dist/veltravor-project.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES src/gui/resources/icons/veltravor.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES dist/icons/application-x-veltravor-project.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/mimetypes)

install(FILES dist/man/veltravor.1 dist/man/veltravor-cli.1 dist/man/veltravor-sim.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Serial access to the controller's USB adapter. lib/udev/rules.d under the
# prefix: /usr/lib/udev/rules.d for the package, which udev reads.
install(FILES dist/udev/60-veltravor.rules DESTINATION lib/udev/rules.d)

# The user manuals (with their pictures) where the installed program looks:
# <prefix>/share/doc/veltravor.
if(EXISTS ${CMAKE_SOURCE_DIR}/doc)
  install(DIRECTORY doc/ DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/veltravor
          PATTERN "*.md" EXCLUDE)
endif()
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/veltravor RENAME copyright)

# cpack -G DEB
set(CPACK_PACKAGE_NAME veltravor)
set(CPACK_PACKAGE_VENDOR "Veltravor Laboratory Software")
set(CPACK_PACKAGE_CONTACT "Veltravor Laboratory Software <support@veltravor.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control and evaluation of the Veltravor cross-correlator")
set(CPACK_PACKAGE_DESCRIPTION
    "Drives the Veltravor laboratory cross-correlator for short laser pulses over USB,\n\
runs automatically ranged delay scans, and evaluates, compares, saves, exports\n\
and prints cross-correlation curves over ten and more decades. Includes the\n\
command-line program veltravor-cli and the simulated instrument veltravor-sim.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://veltravor.example.org)
# The shared libraries' packages come from dpkg-shlibdeps; the Qt platform
# plugins and the SVG icon plugin are loaded at run time and so are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "desktop-file-utils, shared-mime-info, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/dist/debian/postinst
    ${CMAKE_SOURCE_DIR}/dist/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
set(CPACK_STRIP_FILES ON)
include(CPack)
