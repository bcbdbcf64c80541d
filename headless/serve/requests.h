// The page's action requests: a JSON object naming the action and its
// arguments, read into the typed action to run and the session line that
// records it. A request that cannot be read (unknown action, an argument
// missing or of the wrong type, a file outside the workspace folder) is
// refused before anything happens, with a message saying why.
//
//   {"action": "start", "left": "a.tif", "right": "b.tif"}   right optional
//   {"action": "open" | "save" | "report", "file": "points.txt"}
//   {"action": "click", "image": 0|1, "view": 0|1, "x": 12.5, "y": 40.25}
//   {"action": "accept" | "clear" | "drive" | "addrow" | "close"}
//   {"action": "autodrive" | "graphics" | "keeptool", "on": true}
//   {"action": "units", "units": "meters" | "feet"}
//   {"action": "format", "format": "formatted" | "condensed"}
//   {"action": "tool", "tool": "pointselect" | "pointcreate"}
//   {"action": "row", "row": 3}           rows count from 0
//   {"action": "select", "rows": [1, 4]}  [] clears the selection
//   {"action": "delete", "rows": [2]}     rows optional: the selection
//   {"action": "insert", "row": 3, "below": false}
//   {"action": "edit", "row": 0, "column": 4, "text": "512.5"}
// Any request may add "window": {"first": N, "count": N}, the table rows the
// page shows, for the view in the reply.
#ifndef ZSRV_REQUESTS_H
#define ZSRV_REQUESTS_H

#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "app/actions.h"
#include "app/view.h"

namespace zsrv {

class RootFolder;

struct PreparedAction {
    std::string name;
    std::vector<std::string> words;  // the session line
    std::function<zapp::ActionResult()> run;
    // Checks against what the tool shows now, on the module thread, before
    // running; false with *why refuses the request. Empty: nothing to check.
    std::function<bool(const zapp::View &view, std::string *why)> check;
};

// Reads a request; false with *why when it cannot be run as written.
bool PrepareAction(const nlohmann::json &request, const RootFolder &root, PreparedAction *action, std::string *why);

// A number as the shortest text that reads back as the same number, so that a
// replayed session clicks exactly where the page clicked.
std::string ExactNumber(double value);

}  // namespace zsrv

#endif
