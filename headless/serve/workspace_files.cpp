#include "workspace_files.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace zsrv {

using json = nlohmann::json;
namespace fs = std::filesystem;

Reply ListFolder(const RootFolder &root, const std::string &folder) {
    std::vector<FolderEntry> entries;
    std::string why, clean;
    if (!root.Check(folder, RootFolder::Use::kFolder, &clean, &why) || !root.List(clean, &entries, &why))
        return Refused(400, why);
    json list = json::array();
    for (const FolderEntry &entry : entries)
        list.push_back(json{{"name", entry.name}, {"folder", entry.folder}, {"size", entry.size}});
    return {200, json{{"folder", clean}, {"entries", list}}};
}

int ReadForDownload(const RootFolder &root, const std::string &path, std::string *bytes, std::string *name,
                    std::string *why) {
    std::string clean, absolute;
    if (!root.Check(path, RootFolder::Use::kRead, &clean, why, &absolute)) return 400;
    std::ifstream in(absolute, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in && !in.eof()) {
        *why = "cannot read \"" + clean + "\"";
        return 500;
    }
    *bytes = text.str();
    *name = fs::path(clean).filename().string();
    return 200;
}

bool WriteWhole(const std::string &path, const std::string &text) {
    const std::string temporary = path + ".partial";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        if (!out.flush()) return false;
    }
    std::error_code error;
    fs::rename(temporary, path, error);
    if (error) fs::remove(temporary, error);
    return !error;
}

}  // namespace zsrv
