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

// Which lines undo takes back: those that changed the points or the pending
// picks. Undo never goes back past a barrier (a tool started or closed).
bool Undoable(const std::vector<std::string> &words);
bool UndoBarrier(const std::vector<std::string> &words);

// The recording is also the history: undo cuts it before its last undoable
// line (with the answers given to that line's questions) and keeps what it
// cut for redo; any line added after that forgets what redo kept.
class Recording {
public:
    // Adds a line the user ran; what redo kept is forgotten.
    void Add(const SessionLine &line);
    void Add(const std::vector<std::string> &words) { Add(LineOf(words)); }
    size_t Lines() const;
    // The session text, to be saved in folder (relative to the workspace
    // folder, "" for the workspace folder itself): a heading comment, then one
    // line each, file names relative to that folder; then the extra lines.
    std::string Text(const std::string &folder, const std::vector<SessionLine> &extra = {}) const;
    // Cuts the last undoable line and what followed it; standing gets the
    // lines left, to be run again on a fresh host. With picksOnly, only a
    // pending pick is taken back (the last undoable line is a click). False
    // when there is nothing to take back.
    bool Undo(bool picksOnly, std::vector<SessionLine> *standing);
    // Puts back what the last undo cut; again gets those lines, to be run
    // again on the host as it stands. False when nothing was cut.
    bool Redo(std::vector<SessionLine> *again);
    size_t RedoSteps() const;

private:
    mutable std::mutex mutex_;
    std::vector<SessionLine> lines_;
    std::vector<std::vector<SessionLine>> undone_;  // the last undone last
};

}  // namespace zsrv

#endif
