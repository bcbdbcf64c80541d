// What a UI script calls: the application functions of the module that the
// host loaded, reached by name.
#ifndef ZUI_APP_FUNCTION_H
#define ZUI_APP_FUNCTION_H

#include <stdint.h>

#include <functional>
#include <string>

#include "ztypes.h"

namespace zui {

// The signature every application function of a module has: host value (unused
// by the tool, always null from this host), tool record (the client data of the
// parse), argument count and texts, error-report slot. The returned string list
// belongs to the caller.
using AppFunction = Zstr_StringList *(*)(void *host, void *record, int32_t argc, char **argv, Zerr_Report **err);
// Maps a function name as the script writes it ("ZOT_Start") to the function,
// or null when there is none. The host program installs one after loading a module.
using AppFunctionResolver = std::function<AppFunction(const std::string &name)>;

}  // namespace zui

#endif
