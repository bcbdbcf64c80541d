# The installed layout, relative to one prefix (the program finds the rest from
# where it lies, so the tree can be moved):
#   bin/zot-host                     share/zot-tool/ui/af_zot.zml, ui/web/
#   lib/zot-tool/af_zot.so           share/zot-tool/leaflet/ (Debian's Leaflet)
#   lib/zot-tool/libzothost.so       share/man/man1/zot-host.1
# A build tree mirrors what the program looks for: af_zot.so beside zot-host and
# a link to ui/.
file(CREATE_LINK ${PROJECT_SOURCE_DIR}/ui ${PROJECT_BINARY_DIR}/ui SYMBOLIC)

set(ZOT_LEAFLET_SOURCE /usr/share/javascript/leaflet CACHE PATH "The Leaflet files installed with the workspace")
set_target_properties(zot-host PROPERTIES INSTALL_RPATH "$ORIGIN/../lib/zot-tool")
install(TARGETS zot-host RUNTIME DESTINATION bin)
install(TARGETS zothost af_zot LIBRARY DESTINATION lib/zot-tool)
install(FILES ${PROJECT_SOURCE_DIR}/ui/af_zot.zml DESTINATION share/zot-tool/ui)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/ui/web/ DESTINATION share/zot-tool/ui/web)
install(FILES ${ZOT_LEAFLET_SOURCE}/leaflet.js ${ZOT_LEAFLET_SOURCE}/leaflet.css DESTINATION share/zot-tool/leaflet)
install(DIRECTORY ${ZOT_LEAFLET_SOURCE}/images DESTINATION share/zot-tool/leaflet)
install(FILES ${PROJECT_SOURCE_DIR}/docs/zot-host.1 DESTINATION share/man/man1)

# cpack -G DEB in the build tree makes zot-tool_VERSION_ARCH.deb; its
# dependencies are the Debian packages of the libraries the programs link.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zot-tool)
set(CPACK_PACKAGE_VERSION 1.0.0)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Accuracy assessment of ground positions measured in images")
set(CPACK_PACKAGE_CONTACT "ZOT Tool team <zot-tool@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR})
include(CPack)
