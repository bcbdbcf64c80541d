#include "recording.h"

#include <filesystem>

#include "session/catalogue.h"

namespace zsrv {

SessionLine LineOf(const std::vector<std::string> &words) { return SessionLine{words, zses::FileWords(words)}; }

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

bool Undoable(const std::vector<std::string> &words) {
    if (words.empty() || UndoBarrier(words)) return false;
    if (words[0] == "click") return true;
    const zses::ActionSpec *decl = zses::FindAction(words[0]);
    return decl && decl->Page() && !decl->KeepsPoints();
}

bool UndoBarrier(const std::vector<std::string> &words) {
    return !words.empty() && (words[0] == "start" || words[0] == "close");
}

void Recording::Add(const SessionLine &line) {
    std::lock_guard<std::mutex> lock(mutex_);
    lines_.push_back(line);
    undone_.clear();
}

bool Recording::Undo(bool picksOnly, std::vector<SessionLine> *standing) {
    std::lock_guard<std::mutex> lock(mutex_);
    // A line that failed (an `expect error` follows it) changed nothing to take back.
    const auto takeBack = [&](size_t i) {
        return Undoable(lines_[i].words) &&
               !(i + 1 < lines_.size() && lines_[i + 1].words.size() == 2 && lines_[i + 1].words[0] == "expect" &&
                 lines_[i + 1].words[1] == "error");
    };
    size_t cut = lines_.size();
    while (cut > 0 && !takeBack(cut - 1) && !UndoBarrier(lines_[cut - 1].words)) --cut;
    if (cut == 0 || !takeBack(cut - 1)) return false;
    if (picksOnly && lines_[cut - 1].words[0] != "click") return false;
    --cut;
    while (cut > 0 && lines_[cut - 1].words[0] == "answer") --cut;
    undone_.emplace_back(lines_.begin() + static_cast<std::ptrdiff_t>(cut), lines_.end());
    lines_.resize(cut);
    *standing = lines_;
    return true;
}

bool Recording::Redo(std::vector<SessionLine> *again) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (undone_.empty()) return false;
    *again = undone_.back();
    undone_.pop_back();
    lines_.insert(lines_.end(), again->begin(), again->end());
    return true;
}

size_t Recording::RedoSteps() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return undone_.size();
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
