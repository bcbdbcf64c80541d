// The browser workspace's side of the tool: what the page asks for, answered
// from the actions and the view on the one thread that owns the module, plus
// what the page needs around them: the images shown and their overviews
// (image_slots.h), the assessment (assessment_feed.h), the workspace folder's
// files (workspace_files.h), the recorded session and recovery when the
// process is told to end (recovery.cpp).
//
// Replies are JSON. A request that cannot be run as written gets a 4xx status
// with {"error": "..."} and changes nothing; so does an action the host refuses
// before it reaches the tool (a click outside the image, a row the table
// lacks). An action that ran answers 200 with what the user saw ("result"),
// even when the tool refused it, and the view after it. While the tool waits
// for an answer to a question, replies carry it ("question") and other actions
// are refused until it is answered.
#ifndef ZSRV_WORKSPACE_H
#define ZSRV_WORKSPACE_H

#include <atomic>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "assessment_feed.h"
#include "dialogs.h"
#include "image_slots.h"
#include "module_thread.h"
#include "recording.h"
#include "reply.h"
#include "root_folder.h"
#include "workspace_files.h"

namespace zhg {
struct StereoFrame;
}

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

// A pane's visible part, in image file coordinates.
struct PaneBounds {
    int image = 0, view = 0;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

class Workspace {
public:
    using Reply = zsrv::Reply;

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
    // The actions the page may send (requests.h).
    Reply Actions() const;
    Reply Act(const nlohmann::json &request);
    // Undo, redo, and unpick (undo of a pending pick alone): the recorded
    // session is the history (recording.h). Undo runs what stands again on a
    // fresh host; redo runs what undo took back on the host as it stands.
    Reply History(const std::string &name);
    Reply Answer(const nlohmann::json &request);
    // The markers each pane shows inside its bounds.
    Reply Markers(const std::vector<PaneBounds> &panes);
    // The assessment (assessment_feed.h), worked out on the module thread when
    // the view's "changes" (the count of actions that may change the points)
    // moved, or the accuracy classes stated for producer mode changed (cm as
    // text; "" for none).
    Reply Assessment(long long known, const std::string &classH, const std::string &classV);
    // {"path", "class_h", "class_v"}: the deliverable PDF of the measured
    // points written to path under the root; {"path": clean path} on success.
    Reply AssessmentPdf(const nlohmann::json &request);
    // The stereo aids (stereo_feed.h): "prediction", "frame" (half: frame
    // pixels either side of the centre, 64) or "mark" (u, v, height in the
    // last frame served).
    Reply Stereo(const std::string &what, const std::map<std::string, std::string> &query);
    Reply Files(const std::string &folder) { return ListFolder(root_, folder); }
    Reply StartOverviews(const nlohmann::json &request) { return images_.StartOverviews(request); }
    // A tile of the image shown in image slot 0 (left) or 1 (right).
    int Tile(int image, int z, long long x, long long y, const TileContrast &contrast, std::string *png,
             std::string *why) {
        return images_.Tile(image, z, x, y, contrast, png, why);
    }
    // The statistics and histogram of an image's bands, for contrast.
    Reply Statistics(int image) const { return images_.Statistics(image); }
    // A file under the root, to download: 200 with its bytes and base name.
    int Download(const std::string &path, std::string *bytes, std::string *name, std::string *why) {
        return ReadForDownload(root_, path, bytes, name, why);
    }
    // The session recorded so far, to keep in the workspace folder.
    std::string SessionText() const { return recording_.Text(""); }

    // When the process is told to end: a tool with results not yet reported
    // is closed writing a recovery report, and a session that replays to it,
    // beside the T&E file last opened or saved (else in the workspace folder).
    // Returns the files written (relative to the root); none when nothing was
    // left unreported.
    std::vector<std::string> Recover();

private:
    // Records a line run (after the answers given to its questions), and
    // `expect error` after it when it failed, so that a replay passes it too.
    void Record(const std::vector<std::string> &words, bool ok);
    nlohmann::json Snapshot(const RowWindow &rows);  // module thread
    void AskThePage();                               // module thread
    nlohmann::json QuestionJson();
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
    ImageSlots images_;
    AssessmentFeed assessment_;
    mutable std::mutex mutex_;  // guards what follows
    std::shared_future<Reply> inFlight_;
    nlohmann::json lastView_;
    RowWindow lastRows_{0, kDefaultRows};
    std::string teFile_;  // relative to the root
    std::atomic<long long> changes_{0};  // actions run that may have changed the points
    std::shared_ptr<zhg::StereoFrame> stereoFrame_;  // the last stereo view served; module thread
    ModuleThread thread_;  // last: ends first, with the work it has queued
};

}  // namespace zsrv

#endif
