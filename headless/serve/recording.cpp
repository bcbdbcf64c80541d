#include "recording.h"

#include <filesystem>

#include "session/catalogue.h"

namespace zsrv {

SessionLine LineOf(const std::vector<std::string> &words) { return SessionLine{words, zapp::FileWords(words)}; }

std::string SessionWord(const std::string &word) {
    bool quote = word.empty() || word[0] == '#';
    for (char c : word)
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v' || c == '"' || c == '\\')
            quote = true;
    if (!quote) return word;
    std::string text = "\"";
    for (char c : word) {
        if (c == '"' || c == '\\')
            text += std::string("\\") + c;
        else if (c == '\n')
            text += "\\n";
        else if (c == '\t')
            text += "\\t";
        else
            text += c;
    }
    return text + "\"";
}

void Recording::Add(const SessionLine &line) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(line);
}

size_t Recording::Lines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_.size();
}

std::string Recording::Text(const std::string &folder, const std::vector<SessionLine> &extra) const {
    std::vector<SessionLine> lines;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lines = lines_;
    }
    lines.insert(lines.end(), extra.begin(), extra.end());
    std::string text =
        "# Recorded by zot-host serve. Keep this file in the workspace folder" +
        std::string(folder.empty() ? "" : "'s " + folder) +
        ": its file names are relative to it.\n# Replay with: zot-host run FILE\n";
    const std::filesystem::path base = folder.empty() ? std::filesystem::path(".") : std::filesystem::path(folder);
    for (const SessionLine &line : lines) {
        for (size_t i = 0; i < line.words.size(); ++i) {
            std::string word = line.words[i];
            for (size_t p : line.paths)
                if (p == i) word = std::filesystem::path(word).lexically_relative(base).generic_string();
            text += (i ? " " : "") + SessionWord(word);
        }
        text += "\n";
    }
    return text;
}

}  // namespace zsrv
