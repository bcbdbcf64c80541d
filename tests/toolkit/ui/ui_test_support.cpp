#include "ui_test_support.h"

#include <algorithm>
#include <fstream>

namespace uit {

constexpr const char *UiTest::kKinds[];

void UiTest::Write(const std::string &name, const std::string &text) const {
    std::ofstream out(dir_.File(name), std::ios::binary);
    out << text;
    ASSERT_TRUE(out.good()) << "cannot write " << name;
}

Zzml_ParseResult *UiTest::Parse(const std::string &text, void *clientData, std::string *report) {
    Write("test.zml", text);
    Zerr_Report *err = nullptr;
    Zzml_Root *root = zzml_GetTheRoot();
    Zzml_ParseResult *result = zzml_ParseVa(0, "test.zml", root->context, &err, 2, clientData, 0);
    const std::string reportText = Take(&err);
    if (report) *report = reportText;
    if (result) parses_.push_back(result);
    return result;
}

namespace {

// The resolver hands out one recording function and remembers which name it
// resolved; the runtime calls the function right after resolving it.
std::vector<RecordedCall> *theCalls = nullptr;
std::vector<std::string> theFailing;
std::string theResolvedName;

Zstr_StringList *Recorder(void *, void *record, int32_t argc, char **argv, Zerr_Report **err) {
    RecordedCall call{theResolvedName, record, {}};
    for (int32_t i = 0; i < argc; ++i) call.args.push_back(argv[i]);
    theCalls->push_back(call);
    if (std::find(theFailing.begin(), theFailing.end(), call.function) != theFailing.end()) {
        *err = zerr_CreateErrorReport(call.function.c_str(), __LINE__, 2, nullptr, "Refused.");
        return nullptr;
    }
    if (call.function != "Listing") return nullptr;
    Zstr_StringList *list = nullptr;
    for (const std::string &arg : call.args) list = zstr_StringListAppend(list, arg.c_str(), nullptr);
    return list;
}

}  // namespace

void InstallRecorder(std::vector<RecordedCall> *calls, const std::vector<std::string> &failing) {
    theCalls = calls;
    theFailing = failing;
    zha::SetAppFunctionResolver([](const std::string &name) -> zha::AppFunction {
        if (name.rfind("Unknown", 0) == 0) return nullptr;
        theResolvedName = name;
        return Recorder;
    });
}

}  // namespace uit
