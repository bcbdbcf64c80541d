#include "app/resources.h"

#include <filesystem>
#include <system_error>

#include "automation/ui_automation.h"

namespace zapp {

namespace {

// The first of the candidates that exists, else the first.
std::string FirstExisting(std::initializer_list<std::string> candidates) {
    for (const std::string &candidate : candidates) {
        std::error_code error;
        if (std::filesystem::exists(candidate, error)) return std::filesystem::path(candidate).lexically_normal();
    }
    return std::filesystem::path(*candidates.begin()).lexically_normal();
}

}  // namespace

std::string ModulePath() {
    const std::string program = zha::ProgramDir();
    // Installed; beside zot-host in a build tree; above its test programs.
    return FirstExisting(
        {program + "/../lib/zot-tool/af_zot.so", program + "/af_zot.so", program + "/../af_zot.so"});
}

std::string UiDir() { return zha::UiDir(); }

std::string LeafletDir() {
    return FirstExisting({zha::ProgramDir() + "/../share/zot-tool/leaflet", "/usr/share/javascript/leaflet"});
}

}  // namespace zapp
