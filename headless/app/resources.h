// Where the program's own files lie, found relative to the running program so
// that an installed tree can be moved: the module, the folder of the UI script
// and the page, and Leaflet.
//
// Installed under PREFIX: PREFIX/bin/zot-host, PREFIX/lib/zot-tool/af_zot.so,
// PREFIX/share/zot-tool/ui (af_zot.zml and web/) and
// PREFIX/share/zot-tool/leaflet. In a build tree: af_zot.so and a link to ui/
// beside zot-host (and so above the test programs), and Debian's Leaflet.
#ifndef ZOT_APP_RESOURCES_H
#define ZOT_APP_RESOURCES_H

#include <string>

namespace zapp {

std::string ModulePath();
std::string UiDir();
std::string LeafletDir();

}  // namespace zapp

#endif
