// The page's action requests: a JSON object naming an action of the catalogue
// (session/catalogue.h) with its arguments under their declared names, read
// into the session line that runs it and records it. A request that cannot be
// read (unknown action, an argument missing or of the wrong type, a file
// outside the workspace folder) is refused before anything happens, with a
// message saying why. GET /api/actions serves the page the declarations
// (ActionsJson); for example:
//
//   {"action": "start", "left": "a.tif", "right": "b.tif"}   right optional
//   {"action": "click", "image": 0, "view": 1, "x": 12.5, "y": 40.25}
//   {"action": "insert", "where": "below", "row": 3}          rows count from 0
//   {"action": "graphics", "on": true}
// Any request may add "window": {"first": N, "count": N}, the table rows the
// page shows, for the view in the reply.
#ifndef ZSRV_REQUESTS_H
#define ZSRV_REQUESTS_H

#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace zsrv {

class RootFolder;

struct PreparedAction {
    std::string name;
    std::vector<std::string> words;  // the session line, run and recorded
    bool keepsPoints = false;        // never changes the measured points
};

// Reads a request; false with *why when it cannot be run as written.
bool PrepareAction(const nlohmann::json &request, const RootFolder &root, PreparedAction *action, std::string *why);

// undo, redo and unpick: actions of the workspace itself, on its history
// (workspace.h); the page is served them with the catalogue's.
bool IsHistoryAction(const std::string &name);

// The actions the page may send, as their declarations:
// [{"name", "args": [{"name", "type", "optional", "choices"}], "help": [{"usage", "text"}],
//   "keepsPoints"}].
nlohmann::json ActionsJson();

// A number as the shortest text that reads back as the same number, so that a
// replayed session clicks exactly where the page clicked.
std::string ExactNumber(double value);

}  // namespace zsrv

#endif
