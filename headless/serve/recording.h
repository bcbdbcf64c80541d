// The session the workspace records: every action taken in the page (and in
// the session it was started with) as a session line, so that `zot-host run`
// can replay it. File names are kept relative to the workspace folder and
// written relative to the folder the session file is saved in.
#ifndef ZSRV_RECORDING_H
#define ZSRV_RECORDING_H

#include <mutex>
#include <string>
#include <vector>

namespace zsrv {

// One session line: its words, and which of them name files (relative to the
// workspace folder).
struct SessionLine {
    std::vector<std::string> words;
    std::vector<size_t> paths;  // indices into words
};

// The line of a command with file names where the action's declaration has
// them (start, open, save, report, answer file).
SessionLine LineOf(const std::vector<std::string> &words);

// A word as a session line must hold it: quoted, with \" \\ \n \t escapes,
// when it is empty, holds a blank, quote, backslash or line break, or starts
// with #.
std::string SessionWord(const std::string &word);

class Recording {
public:
    void Add(const SessionLine &line);
    void Add(const std::vector<std::string> &words) { Add(LineOf(words)); }
    size_t Lines() const;
    // The session text, to be saved in folder (relative to the workspace
    // folder, "" for the workspace folder itself): a heading comment, then one
    // line each, file names relative to that folder; then the extra lines.
    std::string Text(const std::string &folder, const std::vector<SessionLine> &extra = {}) const;

private:
    mutable std::mutex mutex_;
    std::vector<SessionLine> lines_;
};

}  // namespace zsrv

#endif
