// The UI-script runtime: the root, parsing, frames and parts, parameters and
// dialogs.
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdlib>
#include <filesystem>

#include "toolkit/core/core_support.h"
#include "toolkit/core/instrument.h"
#include "toolkit/ui/dialog_asker.h"
#include "toolkit/ui/ui_model.h"
#include "zstr.h"
#include "zzml.h"

namespace zui {

namespace {

const int32_t kDefaultScreenWidth = 1920;
const int32_t kDefaultScreenHeight = 1200;
// The option of zzml_ParseVa that binds client data.
const int32_t kOptionClientData = 2;

Zzml_WinInfo theWinInfo = {kDefaultScreenWidth, kDefaultScreenHeight};
// The root's context word identifies this host's root to zzml_ParseVa.
int theRootContext;
Zzml_Root theRoot = {&theRootContext, &theWinInfo};

}  // namespace

State &TheState() {
    static State state;
    return state;
}

namespace {

DialogAsker &TheAsker() {
    static DialogAsker asker;
    return asker;
}

// With no answer queued, the front end's user answers, when a front end asks:
// the answer is queued, and the dialog takes it as any queued answer.
void AskFrontEnd(const DialogQuestion &question) {
    State &state = TheState();
    if (!state.answers.empty() || !TheAsker()) return;
    const DialogReply reply = TheAsker()(question);
    static const AnswerKind kKinds[] = {AnswerKind::Yes, AnswerKind::No, AnswerKind::Cancel, AnswerKind::FileName};
    state.answers.push_front(Answer{kKinds[reply.kind], reply.fileName});
}

}  // namespace

void SetDialogAsker(DialogAsker asker) { TheAsker() = std::move(asker); }

bool ParseAlive(const Zzml_ParseResult *result) {
    const std::vector<Zzml_ParseResult *> &parses = TheState().parses;
    return result && std::find(parses.begin(), parses.end(), result) != parses.end();
}

Zzml_Part *FindTopLevel(Zzml_ParseResult *result, const std::string &name) {
    for (auto &part : result->parts)
        if (part->name == name) return part.get();
    return nullptr;
}

Zzml_Part *FindInFrame(Zzml_Part *frame, const std::string &name) {
    for (auto &part : frame->parts)
        if (part->name == name) return part.get();
    return nullptr;
}

void DestroyParse(Zzml_ParseResult *result) {
    std::vector<Zzml_ParseResult *> &parses = TheState().parses;
    parses.erase(std::remove(parses.begin(), parses.end(), result), parses.end());
    delete result;
    zhc::LiveRemove("parse");
}

}  // namespace zui

using zui::PartKind;

namespace {

std::string ScriptPath(const char *scriptName) {
    if (scriptName[0] == '/') return scriptName;
    std::string dir = zui::UiDir();
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir + scriptName;
}

const char *NameOf(const Zzml_Part *part) { return part->name.c_str(); }

}  // namespace

namespace zui {

void SetUiDir(const std::string &dir) { TheState().uiDirOverride = dir; }

std::string ProgramDir() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string(".") : self.parent_path().string();
}

std::string UiDir() {
    if (!TheState().uiDirOverride.empty()) return TheState().uiDirOverride;
    const char *env = std::getenv("ZOT_UI_DIR");
    if (env && *env) return env;
    // Installed: PREFIX/bin and PREFIX/share/zot-tool/ui; a build tree links
    // ui/ into its top folder, beside zot-host and above the test programs.
    const std::string program = ProgramDir();
    for (const char *relative : {"/../share/zot-tool/ui", "/ui", "/../ui"}) {
        std::error_code error;
        const std::filesystem::path dir = program + relative;
        if (std::filesystem::is_directory(dir, error)) return dir.lexically_normal().string();
    }
    return program + "/../share/zot-tool/ui";
}

void SetScreenSize(int32_t width, int32_t height) {
    theWinInfo.screenWidth = width;
    theWinInfo.screenHeight = height;
}

void ResetSettings() {
    State &state = TheState();
    state.answers.clear();
    state.questions.clear();
    state.uiDirOverride.clear();
    SetScreenSize(kDefaultScreenWidth, kDefaultScreenHeight);
}

}  // namespace zui

Zzml_Root *zzml_GetTheRoot(void) {
    zhc::CountCall("zzml_GetTheRoot");
    return &zui::theRoot;
}

Zzml_ParseResult *zzml_ParseVa(int32_t flags, const char *scriptName, void *rootContext, Zerr_Report **err, ...) {
    static const char *const op = "zzml_ParseVa";
    zhc::ClearErr(err);
    if (zhc::FaultHit(op, err)) return nullptr;
    if (!scriptName || !*scriptName) {
        zhc::Fail(err, op, __LINE__, nullptr, "No script name given.");
        return nullptr;
    }
    if (flags != 0) {
        zhc::Fail(err, op, __LINE__, nullptr, "Unknown flags %d for script %s.", flags, scriptName);
        return nullptr;
    }
    if (rootContext != zui::theRoot.context) {
        zhc::Fail(err, op, __LINE__, nullptr, "Script %s: the root given is not the host's root.", scriptName);
        return nullptr;
    }
    void *clientData = nullptr;
    va_list options;
    va_start(options, err);
    for (int32_t option = va_arg(options, int32_t); option != 0; option = va_arg(options, int32_t)) {
        if (option != zui::kOptionClientData) {
            va_end(options);
            zhc::Fail(err, op, __LINE__, nullptr, "Script %s: unknown parse option %d.", scriptName, option);
            return nullptr;
        }
        clientData = va_arg(options, void *);
    }
    va_end(options);

    std::string error;
    std::unique_ptr<Zzml_ParseResult> result = zui::ParseScriptFile(ScriptPath(scriptName), &error);
    if (!result) {
        zhc::Fail(err, op, __LINE__, nullptr, "%s", error.c_str());
        return nullptr;
    }
    result->clientData = clientData;
    zui::TheState().parses.push_back(result.get());
    zhc::LiveAdd("parse");
    return result.release();
}

void zzml_ParseResultFree(Zzml_ParseResult **result, Zerr_Report **err) {
    zhc::CountCall("zzml_ParseResultFree");
    zhc::ClearErr(err);
    if (!result || !*result) return;
    if (!zui::ParseAlive(*result)) {
        zhc::Fail(err, "zzml_ParseResultFree", __LINE__, nullptr, "Not a live parse result.");
        return;
    }
    zui::DestroyParse(*result);
    *result = nullptr;
}

Zzml_Part *zzml_PartFind(Zzml_ParseResult *result, const char *name, Zerr_Report **err) {
    static const char *const op = "zzml_PartFind";
    zhc::ClearErr(err);
    if (zhc::FaultHit(op, err)) return nullptr;
    if (!result || !name) {
        zhc::Fail(err, op, __LINE__, nullptr, "No parse result or no part name given.");
        return nullptr;
    }
    if (!zui::ParseAlive(result)) {
        zhc::Fail(err, op, __LINE__, nullptr, "Not a live parse result (looking for \"%s\").", name);
        return nullptr;
    }
    Zzml_Part *part = zui::FindTopLevel(result, name);
    if (!part) zhc::Fail(err, op, __LINE__, nullptr, "No part named \"%s\" in %s.", name, result->fileName.c_str());
    return part;
}

Zzml_Part *zzml_FrameFindPart(Zzml_Part *frame, const char *name, Zerr_Report **err) {
    static const char *const op = "zzml_FrameFindPart";
    zhc::ClearErr(err);
    if (zhc::FaultHit(op, err)) return nullptr;
    if (!frame || !name) {
        zhc::Fail(err, op, __LINE__, nullptr, "No frame or no part name given.");
        return nullptr;
    }
    if (frame->kind != PartKind::Frame) {
        zhc::Fail(err, op, __LINE__, nullptr, "Part \"%s\" is not a frame.", NameOf(frame));
        return nullptr;
    }
    Zzml_Part *part = zui::FindInFrame(frame, name);
    if (!part) zhc::Fail(err, op, __LINE__, nullptr, "No part named \"%s\" in frame \"%s\".", name, NameOf(frame));
    return part;
}

int32_t zzml_FrameDisplay(Zzml_Part *frame, Zerr_Report **err) {
    static const char *const op = "zzml_FrameDisplay";
    zhc::ClearErr(err);
    if (zhc::FaultHit(op, err)) return 0;
    if (!frame || frame->kind != PartKind::Frame) {
        zhc::Fail(err, op, __LINE__, nullptr, "Not a frame: %s.", frame ? NameOf(frame) : "(none)");
        return 0;
    }
    frame->shown = true;
    return 1;
}

void zzml_FrameGeometryGet(Zzml_Part *frame, int32_t *x, int32_t *y, int32_t *width, int32_t *height) {
    zhc::CountCall("zzml_FrameGeometryGet");
    const bool isFrame = frame && frame->kind == PartKind::Frame;
    if (x) *x = isFrame ? frame->x : 0;
    if (y) *y = isFrame ? frame->y : 0;
    if (width) *width = isFrame ? frame->width : 0;
    if (height) *height = isFrame ? frame->height : 0;
}

void zzml_FrameGeometrySet(Zzml_Part *frame, int32_t x, int32_t y, int32_t width, int32_t height) {
    zhc::CountCall("zzml_FrameGeometrySet");
    if (!frame || frame->kind != PartKind::Frame) return;
    frame->x = x;
    frame->y = y;
    // A frame keeps at least one pixel each way.
    frame->width = std::max(width, 1);
    frame->height = std::max(height, 1);
}

void zzml_WinInfoGetScreenSize(Zzml_WinInfo *winInfo, int32_t *width, int32_t *height) {
    zhc::CountCall("zzml_WinInfoGetScreenSize");
    const Zzml_WinInfo *info = winInfo ? winInfo : &zui::theWinInfo;
    if (width) *width = info->screenWidth;
    if (height) *height = info->screenHeight;
}

void zzml_PartTitleSet(Zzml_Part *part, const char *title) {
    zhc::CountCall("zzml_PartTitleSet");
    if (part) part->title = title ? title : "";
}

int32_t zzml_StringPartValueSet(Zzml_Part *part, const char *text, Zerr_Report **err) {
    static const char *const op = "zzml_StringPartValueSet";
    zhc::ClearErr(err);
    if (zhc::FaultHit(op, err)) return 0;
    if (!part || !text) {
        zhc::Fail(err, op, __LINE__, nullptr, "No part or no text given.");
        return 0;
    }
    switch (part->kind) {
        case PartKind::Label:
        case PartKind::Field:
            part->value = text;
            return 1;
        case PartKind::Toggle:
            if (std::find(part->values.begin(), part->values.end(), text) == part->values.end()) {
                zhc::Fail(err, op, __LINE__, nullptr, "\"%s\" is not a value of toggle \"%s\".", text, NameOf(part));
                return 0;
            }
            part->value = text;
            return 1;
        default:
            zhc::Fail(err, op, __LINE__, nullptr, "Part \"%s\" (a %s) shows no text value.", NameOf(part),
                      zui::PartKindName(part->kind));
            return 0;
    }
}

const char *zzml_PartValueGet(const Zzml_Part *part) {
    zhc::CountCall("zzml_PartValueGet");
    return part ? part->value.c_str() : "";
}

int32_t zzml_SetParameters(Zzml_Part *part, Zerr_Report **err, ...) {
    static const char *const op = "zzml_SetParameters";
    zhc::ClearErr(err);
    if (zhc::FaultHit(op, err)) return 0;
    if (!part || part->kind != PartKind::CellArray) {
        zhc::Fail(err, op, __LINE__, nullptr, "Part %s takes no parameters: only tables do.",
                  part ? NameOf(part) : "(none)");
        return 0;
    }
    va_list args;
    va_start(args, err);
    std::string why;
    const bool done = zui::SetTableParameters(part, args, &why);
    va_end(args);
    if (!done) zhc::Fail(err, op, __LINE__, nullptr, "Table \"%s\": %s.", NameOf(part), why.c_str());
    return done ? 1 : 0;
}

int32_t zzml_GetValues(Zzml_Part *part, Zerr_Report **err, ...) {
    static const char *const op = "zzml_GetValues";
    zhc::ClearErr(err);
    if (zhc::FaultHit(op, err)) return 0;
    if (!part || part->kind != PartKind::CellArray) {
        zhc::Fail(err, op, __LINE__, nullptr, "Part %s has no values to read: only tables do.",
                  part ? NameOf(part) : "(none)");
        return 0;
    }
    va_list args;
    va_start(args, err);
    std::string why;
    const bool done = zui::GetTableValues(part, args, &why);
    va_end(args);
    if (!done) zhc::Fail(err, op, __LINE__, nullptr, "Table \"%s\": %s.", NameOf(part), why.c_str());
    return done ? 1 : 0;
}

int32_t zzml_QueryYesNo(Zzml_Root *root, const char *question, const char *first, const char *second,
                        Zerr_Report **err) {
    static const char *const op = "zzml_QueryYesNo";
    zhc::ClearErr(err);
    if (zhc::FaultHit(op, err)) return 0;
    if (root != &zui::theRoot || !question || !first || !second) {
        zhc::Fail(err, op, __LINE__, nullptr, "A question needs the host's root, its text and two answers.");
        return 0;
    }
    zui::State &state = zui::TheState();
    state.questions.push_back(question);
    zui::AskFrontEnd(zui::DialogQuestion{false, question, {first, second}, ""});
    if (state.answers.empty()) return 0;
    const zui::Answer answer = state.answers.front();
    if (answer.kind == zui::AnswerKind::FileName) {
        zhc::Fail(err, op, __LINE__, nullptr, "The answer queued (file name %s) does not fit the question \"%s\".",
                  answer.fileName.c_str(), question);
        return 0;
    }
    state.answers.pop_front();
    if (answer.kind == zui::AnswerKind::Cancel) return 0;
    // Yes and No choose the button of that text; failing that, the second button
    // counts as Yes.
    const char *word = answer.kind == zui::AnswerKind::Yes ? "Yes" : "No";
    if (zstr_Eqic(first, word)) return 0;
    if (zstr_Eqic(second, word)) return 1;
    return answer.kind == zui::AnswerKind::Yes ? 1 : 0;
}

char *zzml_FileNameListQuery(Zzml_Part *query, Zzml_Part *parent, Zerr_Report **err) {
    static const char *const op = "zzml_FileNameListQuery";
    zhc::ClearErr(err);
    if (zhc::FaultHit(op, err)) return nullptr;
    if (!query || query->kind != PartKind::FileQuery) {
        zhc::Fail(err, op, __LINE__, nullptr, "Not a file query: %s.", query ? NameOf(query) : "(none)");
        return nullptr;
    }
    if (parent && parent->kind != PartKind::Frame) {
        zhc::Fail(err, op, __LINE__, nullptr, "The parent of query \"%s\" is not a frame.", NameOf(query));
        return nullptr;
    }
    zui::State &state = zui::TheState();
    state.questions.push_back(query->title);
    zui::AskFrontEnd(zui::DialogQuestion{true, query->title, {}, query->pattern});
    if (state.answers.empty()) return nullptr;
    const zui::Answer answer = state.answers.front();
    if (answer.kind == zui::AnswerKind::Yes) {
        zhc::Fail(err, op, __LINE__, nullptr, "The answer queued (yes) does not fit the file query \"%s\".",
                  query->title.c_str());
        return nullptr;
    }
    state.answers.pop_front();
    if (answer.kind != zui::AnswerKind::FileName) return nullptr;
    char *name = zhc::HeapText(answer.fileName.c_str());
    if (!name) zhc::Fail(err, op, __LINE__, nullptr, "Out of memory for the file name.");
    return name;
}
