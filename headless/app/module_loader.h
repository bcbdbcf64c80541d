// Loads a tool module file, asks it for its application-function names and
// resolves each of them, as the host application does when it loads a module
// by name.
#ifndef ZAPP_MODULE_LOADER_H
#define ZAPP_MODULE_LOADER_H

#include <map>
#include <string>
#include <vector>

#include "automation/ui_automation.h"

namespace zapp {

// The module's listing function: sets *count and *names to a heap array of heap
// strings (zmsc_HeapMalloc / zstr_Duplicate) that the caller frees.
typedef int32_t (*ListingFunction)(int32_t *count, char ***names);

// The module prefix: the listing's names are exported as prefix + name.
extern const char kModulePrefix[];
// The listing function's exported name.
extern const char kListingSymbol[];

// One loaded module. Not copyable: it owns the library handle, which it closes
// when destroyed (after uninstalling its resolver, if installed). The functions
// it resolved must not be called after that.
class Module {
public:
    Module() = default;
    ~Module();
    Module(const Module &) = delete;
    Module &operator=(const Module &) = delete;

    // Opens the module file at path, calls its listing and resolves every
    // listed name. On failure returns false, sets *error to a message that names
    // the file and what is missing (with the loader's own text), and leaves the
    // object empty. A module already loaded is unloaded first.
    bool Load(const std::string &path, std::string *error);
    // Uninstalls the resolver if this module installed it and closes the file.
    void Unload();

    bool Loaded() const { return handle_ != nullptr; }
    const std::string &Path() const { return path_; }
    // The names in the listing's order, without the module prefix.
    const std::vector<std::string> &Names() const { return names_; }
    // The application function of that name (without prefix), or null.
    zha::AppFunction Find(const std::string &name) const;

    // Makes the UI runtime reach this module's functions by name, so that the
    // script's buttons and toggles call them.
    void InstallResolver();

private:
    void *handle_ = nullptr;
    std::string path_;
    std::vector<std::string> names_;
    std::map<std::string, zha::AppFunction> functions_;
    bool resolverInstalled_ = false;
};

// Makes the UI runtime read the tool's UI script (af_zot.zml) from uiDir
// (relative to the current folder) and parses it once, without a tool record,
// so that a broken script is reported before any session runs; the parse is
// freed again and the UI runtime left clean. False with *why naming the
// script's line.
bool CheckUiScript(const std::string &uiDir, std::string *why);
// The UI script's file name.
extern const char kUiScriptName[];

}  // namespace zapp

#endif
