// The browser workspace's side of the tool: what the page asks for, answered
// from the actions and the view on the one thread that owns the module, plus
// what the page needs around them (tiles of the images shown, the workspace
// folder's files, overview builds, the recorded session, recovery when the
// process is told to end).
//
// Replies are JSON. A request that cannot be run as written gets a 4xx status
// with {"error": "..."} and changes nothing. An action that ran answers 200
// with what the user saw ("result"), even when the tool refused it, and the
// view after it. While the tool waits for an answer to a question, replies
// carry it ("question") and other actions are refused until it is answered.
#ifndef ZSRV_WORKSPACE_H
#define ZSRV_WORKSPACE_H

#include <array>
#include <atomic>
#include <future>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "assess.h"
#include "dialogs.h"
#include "module_thread.h"
#include "recording.h"
#include "root_folder.h"
#include "tiles.h"

namespace zsrv {

// The table rows a page shows (it scrolls through the rest).
struct RowWindow {
    long long first = 0;
    long long count = 0;
};
constexpr long long kDefaultRows = 100;
constexpr long long kMaxRows = 2000;
// Row numbers a request may give at most.
constexpr long long kMaxRowNumber = 2147483647;
// Markers sent for one pane at most; a pane showing more draws the first ones.
constexpr size_t kMaxPaneMarkers = 5000;
// Flagged points listed in the assessment reply at most (all are counted).
constexpr size_t kMaxFlaggedShown = 100;

// A pane's visible part, in image file coordinates.
struct PaneBounds {
    int image = 0, view = 0;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

class Workspace {
public:
    struct Reply {
        int status = 200;
        nlohmann::json body;
    };

    // root: the folder the page may read and write in. The module must be
    // loaded and the host reset before requests arrive.
    explicit Workspace(const std::string &root);
    // Closes a tool still open, a question it asks answered with its default.
    ~Workspace();
    Workspace(const Workspace &) = delete;
    Workspace &operator=(const Workspace &) = delete;

    const RootFolder &Root() const { return root_; }
    ModuleThread &Thread() { return thread_; }

    // Records a session line run before the page took over (the session
    // zot-host serve was started with); file names relative to the root.
    void RecordReplayed(const std::vector<std::string> &words);
    // After such a replay: notes the images shown and the T&E file opened.
    void AfterReplay();

    Reply View(const RowWindow &rows);
    Reply Act(const nlohmann::json &request);
    Reply Answer(const nlohmann::json &request);
    // The markers each pane shows inside its bounds.
    Reply Markers(const std::vector<PaneBounds> &panes);
    // The accuracy assessment of the measured points (assess/assess.h), as the
    // page shows it beside the figures:
    //   {"revision": R, "measured": N, "summary": {...}, "flagged": [...],
    //    "plots": {"vectorMap": "<svg...", "histogram": ..., "scatter": ...}}
    // summary is AssessmentJson without its per-point list; flagged lists the
    // flagged points (ID, table row, HE, ratios), the first kMaxFlaggedShown.
    // With no measured point: {"revision": R, "measured": 0}. Worked out on
    // the module thread once per change of the points: the view's "changes"
    // counts the actions that may change them, and the points are read again
    // only when it moved, assessed again only when they differ. A page that
    // holds revision `known` gets {"revision": known, "unchanged": true}.
    Reply Assessment(long long known);
    Reply Files(const std::string &folder);
    Reply StartOverviews(const nlohmann::json &request);
    // A tile of the image shown in image slot 0 (left) or 1 (right): its PNG
    // bytes and 200, or a 4xx status with *why.
    int Tile(int image, int z, long long x, long long y, std::string *png, std::string *why);
    // A file under the root, to download: 200 with its bytes and base name.
    int Download(const std::string &path, std::string *bytes, std::string *name, std::string *why);
    // The session recorded so far, to keep in the workspace folder.
    std::string SessionText() const { return recording_.Text(""); }

    // When the process is told to end: a tool with results not yet reported
    // is closed writing a recovery report, and a session that replays to it,
    // beside the T&E file last opened or saved (else in the workspace folder).
    // Returns the files written (relative to the root); none when nothing was
    // left unreported.
    std::vector<std::string> Recover();

private:
    struct ImageSlot {
        std::string file;  // as the tool opened it
        long revision = 0;  // changes with the file and its overviews (for the page's tile cache)
        std::shared_ptr<TileImage> tiles;
        std::string error;  // why it cannot be shown
    };
    struct AssessmentCache {
        long long changes = -1;  // the point changes counted when the points were read
        long long revision = 0;  // moves when the measured points differ
        zassess::ResidualSet points;
        std::vector<int32_t> rows;
        nlohmann::json reply;
    };
    struct OverviewBuild {
        bool running = false;
        double done = 0;
        std::string error;
        std::string file;
    };

    // Records a line run (after the answers given to its questions), and
    // `expect error` after it when it failed, so that a replay passes it too.
    void Record(const std::vector<std::string> &words, bool ok);
    nlohmann::json Snapshot(const RowWindow &rows);  // module thread
    nlohmann::json ImagesJson();
    nlohmann::json QuestionJson();
    void NoteImages(const std::vector<std::string> &files);  // module thread
    void UpdateAssessment();  // module thread
    // Waits for reply, or until the tool asks a question; an action's reply
    // then waits on for the answer (Answer).
    Reply Await(std::shared_future<Reply> reply, bool action);
    std::shared_future<Reply> PostAction(std::function<Reply()> work);
    // Runs work on the module thread and waits for it, unless the tool asks
    // a question first (then 409: the work runs once it is answered).
    Reply RunUnlessAsked(std::function<Reply()> work);

    RootFolder root_;
    Recording recording_;
    Dialogs dialogs_;
    mutable std::mutex mutex_;  // guards what follows
    std::array<ImageSlot, 2> images_;
    std::array<OverviewBuild, 2> builds_;
    std::array<std::thread, 2> builders_;  // the last overview build of each image
    std::atomic<bool> stopping_{false};  // ends overview builds early
    std::shared_future<Reply> inFlight_;
    nlohmann::json lastView_;
    RowWindow lastRows_{0, kDefaultRows};
    std::string teFile_;  // relative to the root
    std::atomic<long long> changes_{0};  // actions run that may have changed the points
    // Written on the module thread only; other threads read its revision and
    // reply under mutex_.
    AssessmentCache assessment_;
    ModuleThread thread_;  // last: ends first, with the work it has queued
};

}  // namespace zsrv

#endif
