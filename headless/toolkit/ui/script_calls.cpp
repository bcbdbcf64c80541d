// The UI runtime's dispatch from a script call (a button, a toggle, a tool) to
// the application function it names.
#include <vector>

#include "toolkit/core/instrument.h"
#include "toolkit/ui/ui_model.h"
#include "zerr.h"
#include "zstr.h"

namespace zui {

namespace {

AppFunctionResolver &Resolver() {
    static AppFunctionResolver resolver;
    return resolver;
}

}  // namespace

void SetAppFunctionResolver(AppFunctionResolver resolver) { Resolver() = std::move(resolver); }

bool CallFunction(const char *op, const std::string &name, const std::vector<std::string> &args, void *clientData,
                  Zerr_Report **err, Zstr_StringList **result) {
    AppFunction function = Resolver() ? Resolver()(name) : nullptr;
    if (!function) {
        zhc::Fail(err, op, __LINE__, nullptr, "No application function named \"%s\"%s.", name.c_str(),
                  Resolver() ? "" : " (no module's functions are known)");
        return false;
    }
    std::vector<std::vector<char>> texts;
    std::vector<char *> argv;
    texts.reserve(args.size());
    for (const std::string &arg : args) {
        texts.emplace_back(arg.begin(), arg.end());
        texts.back().push_back('\0');
        argv.push_back(texts.back().data());
    }
    argv.push_back(nullptr);
    Zerr_Report *report = nullptr;
    Zstr_StringList *list = function(nullptr, clientData, static_cast<int32_t>(args.size()), argv.data(), &report);
    if (result)
        *result = list;
    else
        zstr_StringListDelete(&list, nullptr);
    if (!report) return true;
    if (err)
        *err = report;
    else
        zerr_DeleteErrorReportEx(&report);
    return false;
}

bool RunPartCall(const char *op, const Zzml_Part *part, Zerr_Report **err, Zstr_StringList **result) {
    // Everything is copied first: the function may free the parse that holds the part.
    const std::string function = part->call.function;
    void *clientData = part->owner->clientData;
    std::vector<std::string> args;
    for (const Argument &arg : part->call.args) {
        if (!arg.isReference) {
            args.push_back(arg.text);
            continue;
        }
        const Zzml_Part *source = FindInFrame(part->frame, arg.text);
        if (source && !source->value.empty()) args.push_back(source->value);
    }
    return CallFunction(op, function, args, clientData, err, result);
}

}  // namespace zui
