#include "module_loader.h"

#include <dlfcn.h>

#include <filesystem>

#include "automation/automation_core.h"
#include "zerr.h"
#include "zmsc.h"
#include "zzml.h"

namespace zapp {

const char kModulePrefix[] = "af_zot";
const char kListingSymbol[] = "af_zotInstanceTitleListGet";
const char kUiScriptName[] = "af_zot.zml";

namespace {

// The loader's last error text, or a fallback when it has none.
std::string LoaderError(const char *fallback) {
    const char *text = dlerror();
    return text ? text : fallback;
}

// Frees what the listing handed over: the first count strings and the array.
void FreeListing(char **names, int32_t count) {
    if (!names) return;
    for (int32_t i = 0; i < count; ++i) zmsc_HeapFree(names[i]);
    zmsc_HeapFree(names);
}

}  // namespace

Module::~Module() { Unload(); }

void Module::Unload() {
    if (resolverInstalled_) {
        zha::SetAppFunctionResolver(nullptr);
        resolverInstalled_ = false;
    }
    functions_.clear();
    names_.clear();
    path_.clear();
    if (handle_) {
        dlclose(handle_);
        handle_ = nullptr;
    }
}

bool Module::Load(const std::string &path, std::string *error) {
    Unload();
    dlerror();
    // A path without a slash would make the loader search the library path; the
    // user means the file of that name in the current folder.
    std::string openPath = path.find('/') == std::string::npos ? "./" + path : path;
    // RTLD_NODELETE: the code stays mapped after dlclose, because the toolkit
    // may still hold callbacks into the module, and the module's own static
    // state must stay reachable for as long as the process lives.
    void *handle = dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle) {
        *error = "cannot load module " + path + ": " + LoaderError("unknown error");
        return false;
    }
    dlerror();
    auto listing = reinterpret_cast<ListingFunction>(dlsym(handle, kListingSymbol));
    if (!listing) {
        *error = "module " + path + " has no function " + kListingSymbol + ": " +
                 LoaderError("the symbol is null");
        dlclose(handle);
        return false;
    }

    int32_t count = 0;
    char **names = nullptr;
    listing(&count, &names);
    if (count < 0 || (count > 0 && !names)) {
        *error = "module " + path + ": " + kListingSymbol + " returned an invalid list (count " +
                 std::to_string(count) + ")";
        FreeListing(names, 0);
        dlclose(handle);
        return false;
    }

    std::vector<std::string> listed;
    std::map<std::string, zha::AppFunction> functions;
    std::string failure;
    for (int32_t i = 0; i < count && failure.empty(); ++i) {
        if (!names[i]) {
            failure = "module " + path + ": " + kListingSymbol + " returned no name at index " + std::to_string(i);
            break;
        }
        std::string name = names[i];
        std::string symbol = kModulePrefix + name;
        dlerror();
        void *address = dlsym(handle, symbol.c_str());
        if (!address) {
            failure = "module " + path + " lists " + name + " but has no function " + symbol + ": " +
                      LoaderError("the symbol is null");
            break;
        }
        listed.push_back(name);
        functions[name] = reinterpret_cast<zha::AppFunction>(address);
    }
    FreeListing(names, count);
    if (!failure.empty()) {
        *error = failure;
        dlclose(handle);
        return false;
    }

    handle_ = handle;
    path_ = path;
    names_ = std::move(listed);
    functions_ = std::move(functions);
    return true;
}

zha::AppFunction Module::Find(const std::string &name) const {
    auto found = functions_.find(name);
    return found == functions_.end() ? nullptr : found->second;
}

void Module::InstallResolver() {
    if (!handle_) return;
    zha::SetAppFunctionResolver([this](const std::string &name) { return Find(name); });
    resolverInstalled_ = true;
}

bool CheckUiScript(const std::string &uiDir, std::string *why) {
    zha::SetUiDir(std::filesystem::absolute(uiDir).lexically_normal().string());
    Zerr_Report *report = nullptr;
    Zzml_ParseResult *parse = zzml_ParseVa(0, kUiScriptName, zzml_GetTheRoot()->context, &report, 0);
    const bool ok = parse != nullptr;
    if (!ok) {
        *why = report ? zha::ReportText(report) : std::string("the script could not be parsed");
        while (!why->empty() && why->back() == '\n') why->pop_back();
    }
    zerr_DeleteErrorReportEx(&report);
    if (parse) zzml_ParseResultFree(&parse, nullptr);
    zha::UiReset();
    return ok;
}

}  // namespace zapp
