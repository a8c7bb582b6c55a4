# The Debian package, made by ./package.sh with CPack.
set(CPACK_PACKAGE_NAME lumra)
set(CPACK_PACKAGE_VENDOR "Morvanell")
set(CPACK_PACKAGE_CONTACT "Morvanell <lumra@morvanell.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Small, fast picture viewer and slide show")
set(CPACK_PACKAGE_DESCRIPTION
  "Lumra shows the pictures of one or more folders one at a time in a small window at the\n"
  "bottom right of the screen, as a slide show or by keyboard and a popup menu.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.morvanell.example/")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's X11 platform plugin is loaded at run time, so no library link names it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_STRIP_FILES ON)
include(CPack)
