# The Debian package, built from the installed tree by CPack (scripts/package).
# Library dependencies are computed from the binaries (dpkg-shlibdeps); what
# the binaries cannot tell is named here: a font with Chinese characters and
# the web view's helper process. The package needs no maintainer scripts: the
# icon cache, the menu and the manual index are refreshed by the triggers of
# the packages that own them.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME norvane)
set(CPACK_PACKAGE_VENDOR Norvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Norvane maintainers <packages@norvane.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Chinese names for a child, suggested and analysed")
set(CPACK_PACKAGE_DESCRIPTION
  "Norvane suggests Chinese given names for a child from the surname, gender,\n"
  "birth date and time and birth place, each with its score and its\n"
  "five-element, zodiac and luck ratings. It shows the full analysis of any\n"
  "name, suggests nicknames, shows a name's fortune and keeps favourites.\n"
  "The naming service is built in, so no network is needed.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.norvane.com)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei | fonts-noto-cjk, fonts-dejavu-core, libqt6webenginecore6-bin")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
