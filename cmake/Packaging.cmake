# SPDX-License-Identifier: MIT
# The Debian package: cpack -G DEB in the build folder writes varnelo_<version>_amd64.deb;
# for Windows, cpack -G ZIP writes varnelo-<version>-win64.zip.
set(CPACK_PACKAGE_NAME varnelo)
set(CPACK_PACKAGE_VENDOR "The Varnelo Converter authors")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "MIF/MID to ESRI Shapefile converter")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
       "Converts map data in the MapInfo Interchange Format (.mif with its .mid, Shift-JIS)\n"
       "into ESRI Shapefiles (.shp, .shx, .dbf), keeping every attribute byte as written.")
set(CPACK_PACKAGE_CONTACT "The Varnelo Converter authors <varnelo@example.org>")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
if(WIN32)
  # The Windows download: one zip, its programs and documents in a folder of its name.
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME varnelo-${PROJECT_VERSION}-win64)
else()
  set(CPACK_GENERATOR DEB)
endif()
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The desktop program: Qt's platform plugins to show a window at all (not a linked library,
# so the library scan misses them), a Japanese font for its captions, Qt's own dialogs in
# Japanese, a viewer for its help.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic, qt6-translations-l10n, xdg-utils")
set(CPACK_STRIP_FILES ON)
include(CPack)
