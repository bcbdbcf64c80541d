// The page's requests: the view, actions run through the catalogue as the
// session lines they are recorded as, answers to the tool's questions, and
// the markers of the panes.
#include "workspace.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <filesystem>

#include "app/actions.h"
#include "app/view.h"
#include "app/view_json.h"
#include "numbers.h"
#include "requests.h"
#include "session/catalogue.h"
#include "toolkit/core/files.h"
#include "stereo_feed.h"

namespace zsrv {

using json = nlohmann::json;

namespace {

std::vector<std::string> AnswerWords(const DialogAnswer &answer) {
    switch (answer.kind) {
        case DialogAnswer::kYes: return {"answer", "yes"};
        case DialogAnswer::kNo: return {"answer", "no"};
        case DialogAnswer::kFile: return {"answer", "file", answer.fileName};
        case DialogAnswer::kCancel: break;
    }
    return {"answer", "cancel"};
}

// The images as the view names them.
const char *const kImageNames[] = {"left", "right"};

std::string Lines(const std::vector<std::string> &lines) {
    std::string text;
    for (const std::string &line : lines) text += (text.empty() ? "" : "\n") + line;
    return text;
}

}  // namespace

Workspace::Workspace(const std::string &root) : root_(root), images_(root_.Path()) {
    thread_.Run([this] { AskThePage(); });
}

void Workspace::AskThePage() {
    zapp::SetQuestionAsker([this](const Question &question) { return dialogs_.Ask(question); });
}

Workspace::~Workspace() {
    images_.Stop();
    dialogs_.Unattended("");
    thread_.Run([] {
        zapp::CloseOpenTools();
        zapp::SetQuestionAsker(nullptr);
    });
}

std::shared_future<Reply> Workspace::PostAction(std::function<Reply()> work) {
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

Reply Workspace::Await(std::shared_future<Reply> reply, bool action) {
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
    images_.Note(files);
    json body{{"view", zapp::ToJson(view)},
              {"images", images_.Json()},
              {"session", json{{"lines", recording_.Lines()}, {"redo", recording_.RedoSteps()}}},
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
    std::string relative;
    for (size_t i : zses::FileWords(words))
        if (std::filesystem::path(recorded[i]).is_absolute() && root_.Relative(recorded[i], &relative))
            recorded[i] = relative;
    Record(recorded, true);
}

Reply Workspace::RunUnlessAsked(std::function<Reply()> work) {
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

Reply Workspace::View(const RowWindow &rows) {
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

Reply Workspace::Actions() const { return {200, ActionsJson()}; }

Reply Workspace::Act(const json &request) {
    if (dialogs_.Pending(nullptr)) return Refused(409, "the tool is waiting for the answer to its question");
    const json &name = request.value("action", json());
    if (name.is_string() && IsHistoryAction(name.get<std::string>())) return History(name.get<std::string>());
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
                     zapp::ActionResult result;
                     try {
                         result = zses::RunAction(action.words);
                     } catch (const zses::LineError &error) {
                         return Refused(400, error.message);
                     }
                     if (result.refused) return Refused(400, Lines(result.errors));
                     if (!action.keepsPoints) ++changes_;
                     Record(action.words, result.Ok());
                     json body = Snapshot(rows);
                     body["result"] = zapp::ToJson(result);
                     if (action.name == "match") body["proposal"] = ProposalJson();
                     return Reply{200, body};
                 }),
                 true);
}

Reply Workspace::History(const std::string &name) {
    if (dialogs_.Pending(nullptr)) return Refused(409, "the tool is waiting for the answer to its question");
    RowWindow rows;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        rows = lastRows_;
    }
    return Await(PostAction([this, name, rows]() -> Reply {
                     std::vector<SessionLine> lines;
                     const bool redo = name == "redo";
                     if (redo ? !recording_.Redo(&lines) : !recording_.Undo(name == "unpick", &lines))
                         return Refused(400, redo ? "There is nothing to redo."
                                                  : name == "unpick" ? "There is no pending pick to remove."
                                                                     : "There is nothing to undo since the tool started.");
                     // Questions the lines asked were answered by the recorded
                     // answers; any other takes its default, without the page.
                     zapp::SetQuestionAsker(nullptr);
                     // Saves and reports among the lines wrote their files when
                     // they were first run: run again, they write nothing (a file
                     // changed since is never replaced behind the user's back).
                     const zhc::DryRunWrites noWrites;
                     if (!redo) zapp::CloseOpenTools();
                     for (const SessionLine &line : lines) {
                         if (line.words.empty() || line.words[0] == "expect") continue;
                         try {
                             zses::RunAction(line.words);
                         } catch (const zses::LineError &) {
                         }
                     }
                     AskThePage();
                     ++changes_;
                     json body = Snapshot(rows);
                     zapp::ActionResult result;
                     result.notes.push_back(redo ? "(redone)" : "(undone)");
                     body["result"] = zapp::ToJson(result);
                     return Reply{200, body};
                 }),
                 true);
}

Reply Workspace::Answer(const json &request) {
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

Reply Workspace::Markers(const std::vector<PaneBounds> &panes) {
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

namespace {

// An accuracy class in cm as the page gives it: "" for none (NaN), else a
// positive number.
bool ReadClass(const std::string &text, double *value) {
    *value = std::numeric_limits<double>::quiet_NaN();
    if (text.empty()) return true;
    return ReadFinite(text, value) && *value > 0;
}

const char kClassRefused[] = "an accuracy class must be a positive number of cm, or empty";

}  // namespace

Reply Workspace::Assessment(long long known, const std::string &classH, const std::string &classV) {
    double h = 0, v = 0;
    if (!ReadClass(classH, &h) || !ReadClass(classV, &v)) return Refused(400, kClassRefused);
    // While the tool waits for an answer, the points are as they were.
    if (!dialogs_.Pending(nullptr)) RunUnlessAsked([this, h, v] {
            assessment_.Update(changes_, h, v);
            return Reply{};
        });
    return assessment_.Get(known);
}

Reply Workspace::AssessmentPdf(const json &request) {
    const auto text = [&request](const char *key) {
        return request.contains(key) && request[key].is_string() ? request[key].get<std::string>() : std::string();
    };
    if (!request.contains("path") || !request["path"].is_string()) return Refused(400, "path must be a text");
    double h = 0, v = 0;
    if (!ReadClass(text("class_h"), &h) || !ReadClass(text("class_v"), &v)) return Refused(400, kClassRefused);
    std::string clean, why, absolute;
    if (!root_.Check(text("path"), RootFolder::Use::kWrite, &clean, &why, &absolute)) return Refused(400, why);
    return RunUnlessAsked([this, h, v, clean, absolute] {
        assessment_.Update(changes_, h, v);
        std::string error;
        if (!assessment_.WritePdf(absolute, &error)) return Refused(409, error);
        zapp::NoteFileWritten(clean);
        return Reply{200, json{{"path", clean}}};
    });
}

}  // namespace zsrv
