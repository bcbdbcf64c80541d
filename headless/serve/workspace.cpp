#include "workspace.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/actions.h"
#include "app/measured_points.h"
#include "app/view.h"
#include "app/view_json.h"
#include "automation/ui_automation.h"
#include "requests.h"

namespace zsrv {

using json = nlohmann::json;
namespace fs = std::filesystem;

namespace {

Workspace::Reply Refused(int status, const std::string &why) { return {status, json{{"error", why}}}; }

std::vector<std::string> AnswerWords(const DialogAnswer &answer) {
    switch (answer.kind) {
        case DialogAnswer::kYes: return {"answer", "yes"};
        case DialogAnswer::kNo: return {"answer", "no"};
        case DialogAnswer::kFile: return {"answer", "file", answer.fileName};
        case DialogAnswer::kCancel: break;
    }
    return {"answer", "cancel"};
}

// Writes text to path through a temporary file renamed into place.
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

// The images as the view names them.
const char *const kImageNames[] = {"left", "right"};

// Actions that leave the measured points as they are; any other may change them.
bool LeavesPointsAlone(const std::string &action) {
    static const char *const kNames[] = {"click", "row",  "select", "drive", "autodrive", "graphics",
                                         "keeptool", "tool", "format", "units", "save",      "report"};
    for (const char *name : kNames)
        if (action == name) return true;
    return false;
}

bool SameResidual(const zassess::Residual &a, const zassess::Residual &b) {
    return a.id == b.id && a.description == b.description && a.refX == b.refX && a.refY == b.refY &&
           a.measX == b.measX && a.measY == b.measY && a.refZ == b.refZ && a.measZ == b.measZ && a.dE == b.dE &&
           a.dN == b.dN && a.dU == b.dU && a.refCE90 == b.refCE90 && a.refLE90 == b.refLE90 &&
           a.mensurationPixels == b.mensurationPixels;
}

bool SamePoints(const zassess::ResidualSet &a, const zassess::ResidualSet &b) {
    return a.title == b.title && a.geographic == b.geographic && a.vertical == b.vertical &&
           std::equal(a.points.begin(), a.points.end(), b.points.begin(), b.points.end(), SameResidual);
}

// The assessment as the page shows it (Workspace::Assessment); rows holds each point's table row.
json AssessmentReply(const zassess::ResidualSet &set, const std::vector<int32_t> &rows, long long revision) {
    if (set.points.empty()) return json{{"revision", revision}, {"measured", 0}};
    const zassess::DisplayAssessment shown = zassess::AssessForDisplay(set);
    json summary = shown.figures;
    json flagged = json::array();
    const json &residuals = summary["residuals"];
    for (size_t i = 0; i < residuals.size() && flagged.size() < kMaxFlaggedShown; ++i) {
        const json &point = residuals[i];
        if (!point["flagged"].get<bool>()) continue;
        json entry{{"id", point["id"]},
                   {"row", rows[i]},
                   {"he_m", point["he_m"]},
                   {"ratio_horizontal", point["ratio_horizontal"]}};
        if (set.vertical) {
            entry["up_m"] = point["up_m"];
            entry["ratio_vertical"] = point["ratio_vertical"];
        }
        flagged.push_back(entry);
    }
    summary.erase("residuals");
    return json{{"revision", revision},
                {"measured", set.points.size()},
                {"summary", summary},
                {"flagged", flagged},
                {"plots",
                 {{"vectorMap", shown.plots.vectorMap},
                  {"histogram", shown.plots.histogram},
                  {"scatter", shown.plots.scatter}}}};
}

}  // namespace

Workspace::Workspace(const std::string &root) : root_(root) {
    assessment_.reply = AssessmentReply(assessment_.points, assessment_.rows, assessment_.revision);
    thread_.Run([this] {
        zha::SetDialogAsker([this](const zha::DialogQuestion &question) { return dialogs_.Ask(question); });
    });
}

Workspace::~Workspace() {
    stopping_ = true;
    dialogs_.Unattended("");
    thread_.Run([] {
        zapp::CloseOpenTools();
        zha::SetDialogAsker(nullptr);
    });
    for (std::thread &builder : builders_)
        if (builder.joinable()) builder.join();
}

std::shared_future<Workspace::Reply> Workspace::PostAction(std::function<Reply()> work) {
    auto promise = std::make_shared<std::promise<Reply>>();
    std::shared_future<Reply> future = promise->get_future().share();
    thread_.Post([this, promise, work] {
        Reply reply;
        try {
            reply = work();
        } catch (const std::exception &error) {
            reply = Refused(500, std::string("unexpected failure: ") + error.what());
        }
        promise->set_value(reply);
        dialogs_.Wake();
    });
    return future;
}

Workspace::Reply Workspace::Await(std::shared_future<Reply> reply, bool action) {
    const bool question = dialogs_.WaitForQuestionOr(
        [&] { return reply.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
    if (!question) return reply.get();
    std::lock_guard<std::mutex> lock(mutex_);
    if (action) inFlight_ = reply;
    json body = lastView_;
    body["question"] = QuestionJson();
    return {200, body};
}

json Workspace::QuestionJson() {
    Question question;
    if (!dialogs_.Pending(&question)) return nullptr;
    return json{{"fileQuery", question.fileQuery},
                {"text", question.text},
                {"buttons", question.buttons},
                {"pattern", question.pattern}};
}

void Workspace::NoteImages(const std::vector<std::string> &files) {
    for (size_t i = 0; i < images_.size(); ++i) {
        const std::string file = i < files.size() ? files[i] : std::string();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (images_[i].file == file) continue;
        }
        ImageSlot slot;
        slot.file = file;
        if (!file.empty()) {
            const std::string path = fs::path(file).is_absolute() ? file : root_.Path() + "/" + file;
            slot.tiles = TileImage::Open(path, &slot.error);
        }
        std::lock_guard<std::mutex> lock(mutex_);
        slot.revision = images_[i].revision + 1;
        images_[i] = slot;
    }
}

json Workspace::ImagesJson() {
    std::lock_guard<std::mutex> lock(mutex_);
    json images = json::array();
    for (size_t i = 0; i < images_.size(); ++i) {
        const ImageSlot &slot = images_[i];
        if (slot.file.empty()) continue;
        json image{{"image", i}, {"file", slot.file}, {"revision", slot.revision}, {"error", slot.error}};
        if (slot.tiles) {
            const int overviews = slot.tiles->OverviewCount();
            image["width"] = slot.tiles->Width();
            image["height"] = slot.tiles->Height();
            image["minZoom"] = slot.tiles->MinZoom();
            image["overviews"] = overviews;
            image["wantsOverviews"] = WantsOverviews(slot.tiles->Width(), slot.tiles->Height(), overviews);
        }
        const OverviewBuild &build = builds_[i];
        if (build.running || !build.error.empty())
            image["overviewBuild"] = json{{"running", build.running}, {"done", build.done}, {"error", build.error}};
        images.push_back(image);
    }
    return images;
}

json Workspace::Snapshot(const RowWindow &rows) {
    zapp::ViewRequest request;
    request.firstRow = static_cast<int32_t>(rows.first);
    request.rowCount = static_cast<int32_t>(std::min(rows.count, kMaxRows));
    request.markers = false;
    request.paneMarkers = false;
    const zapp::View view = zapp::BuildView(request);
    std::vector<std::string> files(2);
    for (const zapp::PaneView &pane : view.panes)
        if (pane.id.view == 0 && pane.hasImage && pane.id.image >= 0 && pane.id.image < 2)
            files[static_cast<size_t>(pane.id.image)] = pane.imageFile;
    NoteImages(files);
    json body{{"view", zapp::ToJson(view)},
              {"images", ImagesJson()},
              {"session", json{{"lines", recording_.Lines()}}},
              {"changes", changes_.load()},
              {"question", nullptr}};
    std::lock_guard<std::mutex> lock(mutex_);
    lastView_ = body;
    return body;
}

void Workspace::Record(const std::vector<std::string> &words, bool ok) {
    for (const DialogAnswer &answer : dialogs_.TakeGiven()) recording_.Add(AnswerWords(answer));
    recording_.Add(words);
    if (!ok) recording_.Add(std::vector<std::string>{"expect", "error"});
    if (ok && words.size() == 2 && (words[0] == "open" || words[0] == "save")) {
        std::lock_guard<std::mutex> lock(mutex_);
        teFile_ = words[1];
    }
}

void Workspace::RecordReplayed(const std::vector<std::string> &words) {
    // Files the session named by absolute paths inside the root are recorded
    // relative to it, as the page names them.
    std::vector<std::string> recorded = words;
    const bool names = !words.empty() && (words[0] == "start" || words[0] == "open" || words[0] == "save" ||
                                           words[0] == "report");
    std::string relative;
    for (size_t i = 1; names && i < recorded.size(); ++i)
        if (fs::path(recorded[i]).is_absolute() && root_.Relative(recorded[i], &relative)) recorded[i] = relative;
    Record(recorded, true);
}

Workspace::Reply Workspace::RunUnlessAsked(std::function<Reply()> work) {
    std::shared_future<Reply> reply = PostAction(std::move(work));
    if (dialogs_.WaitForQuestionOr(
            [&] { return reply.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }))
        return Refused(409, "the tool is waiting for the answer to its question");
    return reply.get();
}

void Workspace::AfterReplay() {
    ++changes_;
    thread_.Run([this] { Snapshot(RowWindow{0, kDefaultRows}); });
}

Workspace::Reply Workspace::View(const RowWindow &rows) {
    if (dialogs_.Pending(nullptr)) {
        // The module thread waits in the question: the view is as it was.
        std::lock_guard<std::mutex> lock(mutex_);
        json body = lastView_;
        body["question"] = QuestionJson();
        return {200, body};
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        lastRows_ = rows;
    }
    return Await(PostAction([this, rows] { return Reply{200, Snapshot(rows)}; }), false);
}

Workspace::Reply Workspace::Act(const json &request) {
    if (dialogs_.Pending(nullptr)) return Refused(409, "the tool is waiting for the answer to its question");
    PreparedAction action;
    std::string why;
    if (!PrepareAction(request, root_, &action, &why)) return Refused(400, why);
    RowWindow rows;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        rows = lastRows_;
    }
    if (request.contains("window")) {
        const json &window = request["window"];
        const auto whole = [&](const char *name) {
            const json &value = window.value(name, json());
            return value.is_number_unsigned() && value.get<unsigned long long>() <= kMaxRowNumber;
        };
        if (!window.is_object() || !whole("first") || !whole("count"))
            return Refused(400, "\"window\" must be {\"first\": N, \"count\": N} with whole numbers from 0 to " +
                                    std::to_string(kMaxRowNumber));
        rows = RowWindow{window["first"].get<long long>(), window["count"].get<long long>()};
        std::lock_guard<std::mutex> lock(mutex_);
        lastRows_ = rows;
    }
    return Await(PostAction([this, action, rows]() -> Reply {
                     if (action.check) {
                         zapp::ViewRequest before;
                         before.rowCount = 0;
                         before.markers = before.paneMarkers = false;
                         std::string refusal;
                         if (!action.check(zapp::BuildView(before), &refusal)) return Refused(400, refusal);
                     }
                     const zapp::ActionResult result = action.run();
                     if (!LeavesPointsAlone(action.name)) ++changes_;
                     Record(action.words, result.Ok());
                     json body = Snapshot(rows);
                     body["result"] = zapp::ToJson(result);
                     return Reply{200, body};
                 }),
                 true);
}

Workspace::Reply Workspace::Answer(const json &request) {
    DialogAnswer reply;
    const std::string kind = request.value("answer", json()).is_string() ? request["answer"].get<std::string>() : "";
    if (kind == "yes") {
        reply.kind = DialogAnswer::kYes;
    } else if (kind == "no") {
        reply.kind = DialogAnswer::kNo;
    } else if (kind == "cancel") {
        reply.kind = DialogAnswer::kCancel;
    } else if (kind == "file") {
        std::string why;
        const json &file = request.value("file", json());
        if (!file.is_string() ||
            !root_.Check(file.get<std::string>(), RootFolder::Use::kWrite, &reply.fileName, &why))
            return Refused(400, file.is_string() ? why : "\"file\" must name the file");
        reply.kind = DialogAnswer::kFile;
    } else {
        return Refused(400, "\"answer\" must be yes, no, cancel or file");
    }
    Question question;
    if (!dialogs_.Pending(&question)) return Refused(409, "no question is waiting for an answer");
    if (question.fileQuery == (reply.kind == DialogAnswer::kYes || reply.kind == DialogAnswer::kNo))
        return Refused(400, question.fileQuery ? "the tool asks for a file name" : "the tool asks yes or no");
    std::shared_future<Reply> inFlight;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        inFlight = inFlight_;
    }
    if (!inFlight.valid() || !dialogs_.Answer(reply)) return Refused(409, "no question is waiting for an answer");
    return Await(inFlight, true);
}

Workspace::Reply Workspace::Markers(const std::vector<PaneBounds> &panes) {
    if (dialogs_.Pending(nullptr)) return Refused(409, "the tool is waiting for the answer to its question");
    return RunUnlessAsked([panes] {
        zapp::ViewRequest request;
        request.rowCount = 0;
        request.paneMarkers = false;
        const zapp::View view = zapp::BuildView(request);
        json answer = json::array();
        for (const PaneBounds &bounds : panes) {
            const std::string name = zapp::PaneName(zapp::PaneId{bounds.image, bounds.view});
            json markers = json::array();
            size_t total = 0, hidden = 0;
            for (const zapp::MarkerView &marker : view.markers) {
                if (marker.image != kImageNames[bounds.image] || marker.x < bounds.x0 || marker.x > bounds.x1 ||
                    marker.y < bounds.y0 || marker.y > bounds.y1)
                    continue;
                for (const zapp::MarkerPaneView &pane : marker.panes) {
                    if (pane.pane != name) continue;
                    if (!pane.visible) {
                        ++hidden;
                        continue;
                    }
                    if (++total > kMaxPaneMarkers) continue;
                    markers.push_back(json{{"kind", marker.kind},
                                           {"label", pane.label},
                                           {"x", marker.x},
                                           {"y", marker.y},
                                           {"colour", {pane.colour.red, pane.colour.green, pane.colour.blue}}});
                }
            }
            answer.push_back(json{{"image", bounds.image}, {"view", bounds.view}, {"markers", markers},
                                  {"total", total}, {"hidden", hidden}});
        }
        return Reply{200, json{{"panes", answer}}};
    });
}

void Workspace::UpdateAssessment() {
    const long long changes = changes_;
    if (assessment_.changes == changes) return;
    assessment_.changes = changes;
    std::vector<int32_t> rows;
    zassess::ResidualSet points = zapp::MeasuredResiduals(&rows);
    if (rows == assessment_.rows && SamePoints(points, assessment_.points)) return;
    json reply = AssessmentReply(points, rows, assessment_.revision + 1);
    assessment_.points = std::move(points);
    assessment_.rows = std::move(rows);
    std::lock_guard<std::mutex> lock(mutex_);
    ++assessment_.revision;
    assessment_.reply = std::move(reply);
}

Workspace::Reply Workspace::Assessment(long long known) {
    // While the tool waits for an answer, the points are as they were.
    if (!dialogs_.Pending(nullptr)) RunUnlessAsked([this] {
            UpdateAssessment();
            return Reply{};
        });
    std::lock_guard<std::mutex> lock(mutex_);
    if (known == assessment_.revision) return {200, json{{"revision", known}, {"unchanged", true}}};
    return {200, assessment_.reply};
}

Workspace::Reply Workspace::Files(const std::string &folder) {
    std::vector<FolderEntry> entries;
    std::string why, clean;
    if (!root_.Check(folder, RootFolder::Use::kFolder, &clean, &why) || !root_.List(clean, &entries, &why))
        return Refused(400, why);
    json list = json::array();
    for (const FolderEntry &entry : entries)
        list.push_back(json{{"name", entry.name}, {"folder", entry.folder}, {"size", entry.size}});
    return {200, json{{"folder", clean}, {"entries", list}}};
}

Workspace::Reply Workspace::StartOverviews(const json &request) {
    const json &index = request.value("image", json());
    if (!index.is_number_unsigned() || index.get<unsigned>() > 1) return Refused(400, "\"image\" must be 0 or 1");
    const size_t image = index.get<size_t>();
    std::unique_lock<std::mutex> lock(mutex_);
    if (!images_[image].tiles) return Refused(400, "no image is shown there");
    if (builds_[image].running) return Refused(409, "overviews of this image are being built already");
    builds_[image] = OverviewBuild{true, 0, "", images_[image].tiles->Path()};
    std::shared_ptr<TileImage> tiles = images_[image].tiles;
    // The image's last build has ended (it is not running): its thread is
    // joined before another starts, outside the lock it takes last.
    std::thread finished = std::move(builders_[image]);
    lock.unlock();
    if (finished.joinable()) finished.join();
    lock.lock();
    builders_[image] = std::thread([this, image, tiles] {
        std::string why;
        const bool built = BuildOverviews(tiles->Path(),
                                          [this, image](double done) {
                                              std::lock_guard<std::mutex> lock(mutex_);
                                              builds_[image].done = done;
                                              return !stopping_;
                                          },
                                          &why) &&
                           tiles->Reopen(&why);
        std::lock_guard<std::mutex> lock(mutex_);
        builds_[image].running = false;
        builds_[image].done = built ? 1 : builds_[image].done;
        builds_[image].error = built ? "" : why;
        if (images_[image].tiles == tiles) ++images_[image].revision;
    });
    return {202, json{{"started", true}}};
}

int Workspace::Tile(int image, int z, long long x, long long y, std::string *png, std::string *why) {
    std::shared_ptr<TileImage> tiles;
    if (image >= 0 && image < static_cast<int>(images_.size())) {
        std::lock_guard<std::mutex> lock(mutex_);
        tiles = images_[static_cast<size_t>(image)].tiles;
    }
    if (!tiles) {
        *why = "no image is shown as image " + std::to_string(image);
        return 404;
    }
    switch (tiles->Render(z, x, y, png, why)) {
        case TileStatus::kOk: return 200;
        case TileStatus::kOutOfRange: *why = "no such tile"; return 404;
        case TileStatus::kFailed: break;
    }
    return 500;
}

int Workspace::Download(const std::string &path, std::string *bytes, std::string *name, std::string *why) {
    std::string clean, absolute;
    if (!root_.Check(path, RootFolder::Use::kRead, &clean, why, &absolute)) return 400;
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

std::vector<std::string> Workspace::Recover() {
    std::string teFile;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        teFile = teFile_;
    }
    // Recovery stays inside the root: a T&E file outside it leaves its name.
    if (fs::path(teFile).is_absolute()) teFile = fs::path(teFile).filename().string();
    const fs::path folder = fs::path(teFile).parent_path();
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", std::localtime(&now));
    const std::string stem = (teFile.empty() ? std::string("workspace") : fs::path(teFile).stem().string()) +
                             "-recovery-" + stamp;
    const std::string report = (folder / (stem + ".txt")).generic_string();
    const std::string session = (folder / (stem + ".session")).generic_string();
    // A question the page left open gets the recovery answers too; otherwise
    // a report is written only when measured results would be lost.
    const bool measured =
        dialogs_.Pending(nullptr) ||
        RunUnlessAsked([] { return Reply{zapp::MeasuredResiduals(nullptr).points.empty() ? 204 : 200, nullptr}; })
                .status != 204;
    dialogs_.Unattended(measured ? report : "");
    return thread_.Run([&] {
        if (zapp::ToolsOpen() > 0) Record({"close"}, zapp::act::Close().Ok());
        std::error_code error;
        if (!fs::exists(root_.Path() + "/" + report, error)) return std::vector<std::string>();
        std::vector<std::string> written{report};
        if (WriteWhole(root_.Path() + "/" + session, recording_.Text(folder.generic_string())))
            written.push_back(session);
        return written;
    });
}

}  // namespace zsrv
