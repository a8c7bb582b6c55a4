# The Debian package, made by ./package.sh with CPack.
set(CPACK_PACKAGE_NAME lumra)
set(CPACK_PACKAGE_VENDOR "Morvanell")
set(CPACK_PACKAGE_CONTACT "Morvanell <lumra@morvanell.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Small, fast picture viewer and slide show")
# Debian shows the description as it stands: lines of at most 80 characters.
set(CPACK_PACKAGE_DESCRIPTION "\
Lumra shows the pictures of one or more folders one at a time in a small
window at the bottom right of the screen, as a slide show or by keyboard and
a popup menu.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.morvanell.example/")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's X11 platform plugin is loaded at run time, so no library link names it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_STRIP_FILES ON)

# The package's revision is the latest entry of its changelog, which must be for this version.
file(STRINGS dist/changelog.Debian latest LIMIT_COUNT 1)
if(NOT latest MATCHES "^lumra \\(([^-]+)-([^)]+)\\)")
  message(FATAL_ERROR "dist/changelog.Debian: the first line is not \"lumra (VERSION-REVISION)\"")
elseif(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR
    "dist/changelog.Debian: the latest entry is for ${CMAKE_MATCH_1}, not ${PROJECT_VERSION}")
endif()
set(CPACK_DEBIAN_PACKAGE_RELEASE ${CMAKE_MATCH_2})
if(NOT WIN32)
  configure_file(dist/changelog.Debian changelog.Debian COPYONLY)
  lumra_install_gzipped(changelog.Debian ${CMAKE_INSTALL_DATADIR}/doc/lumra)
  install(FILES dist/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/lumra)
  install(FILES dist/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
    RENAME lumra)
endif()
include(CPack)
