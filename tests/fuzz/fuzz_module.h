// For fuzz targets that link the module into the program: its listing names
// the functions and the program's own symbol table resolves them (the program
// is linked with -rdynamic), as a host resolves a module's.
#ifndef ZT_FUZZ_MODULE_H
#define ZT_FUZZ_MODULE_H

#include <dlfcn.h>

#include <map>
#include <string>

#include "automation/ui_automation.h"
#include "boundary/exports.h"
#include "fuzz_checks.h"
#include "zmsc.h"

namespace zt_fuzz {

inline void InstallLinkedModule() {
    static std::map<std::string, zha::AppFunction> functions;
    int32_t count = 0;
    char **names = nullptr;
    af_zotInstanceTitleListGet(&count, &names);
    require(count > 0 && names, "the module lists its functions");
    for (int32_t i = 0; i < count; ++i) {
        void *address = dlsym(RTLD_DEFAULT, (std::string("af_zot") + names[i]).c_str());
        require(address != nullptr, std::string("the module exports ") + names[i]);
        functions[names[i]] = reinterpret_cast<zha::AppFunction>(address);
        zmsc_HeapFree(names[i]);
    }
    zmsc_HeapFree(names);
    zha::SetAppFunctionResolver([](const std::string &name) -> zha::AppFunction {
        auto found = functions.find(name);
        return found == functions.end() ? nullptr : found->second;
    });
}

}  // namespace zt_fuzz

#endif
