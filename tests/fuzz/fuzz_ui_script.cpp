// Fuzzes parsing UI scripts through zzml_ParseVa, as a host parses a script
// file: any bytes either give a parse result that keeps the language's rules
// (unique names, frame sizes in range, toggles holding their values, $PART
// references that reach a value, number formats that format any double) and
// frees to nothing, or a single report that names the script and a line.
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "automation/automation_core.h"
#include "toolkit/ui/cell_format.h"
#include "toolkit/ui/ui_model.h"
#include "zerr.h"
#include "zzml.h"

namespace {

void require(bool condition, const char *what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

// One script file per fuzzing process, removed at exit.
struct ScratchScript {
    std::string path;
    ScratchScript() {
        const char *tmp = std::getenv("TMPDIR");
        path = std::string(tmp && *tmp ? tmp : "/tmp") + "/fuzz_ui_script." + std::to_string(getpid()) + ".zml";
    }
    ~ScratchScript() { std::remove(path.c_str()); }
};

const std::string &scriptPath() {
    static ScratchScript script;
    return script.path;
}

void writeScript(const uint8_t *data, size_t size) {
    std::FILE *file = std::fopen(scriptPath().c_str(), "wb");
    require(file != nullptr, "the scratch script can be created");
    require(std::fwrite(data, 1, size, file) == size && std::fclose(file) == 0, "the scratch script can be written");
}

// A valid format must take every double, including the ones no column expects.
void checkFormat(const std::string &format) {
    const double values[] = {0.0, -1.5, 1e308, -std::numeric_limits<double>::max(), 5e-324,
                             std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()};
    for (double value : values) {
        const std::string text = zui::FormatNumber(value, format);
        require(text.size() < 4096, "a formatted number stays short");
    }
}

void checkPart(Zzml_Part *frame, Zzml_Part *part) {
    Zerr_Report *err = nullptr;
    require(zzml_FrameFindPart(frame, part->name.c_str(), &err) == part && !err, "a part is found by its name");
    require(part->kind != zui::PartKind::Frame && part->kind != zui::PartKind::FileQuery,
            "frames and queries stand only at the top level");
    if (part->kind == zui::PartKind::Toggle) {
        require(!part->values.empty() && part->value == part->values.front(), "a toggle starts at its first value");
        for (const std::string &value : part->values) {
            require(zzml_StringPartValueSet(part, value.c_str(), &err) == 1 && !err, "a toggle takes its values");
            require(part->value == value, "a toggle shows the value set");
        }
    }
    if (part->kind == zui::PartKind::Button) require(!part->call.function.empty(), "a button calls a function");
    for (const zui::Argument &arg : part->call.args) {
        if (!arg.isReference) continue;
        const Zzml_Part *target = zui::FindInFrame(frame, arg.text);
        require(target && (target->kind == zui::PartKind::Field || target->kind == zui::PartKind::Toggle ||
                           target->kind == zui::PartKind::Label),
                "a reference reaches a part with a value");
    }
    if (part->kind == zui::PartKind::CellArray) {
        require(part->table != nullptr, "a table has its cells");
        for (const zui::Column &column : part->table->config.columns) {
            if (column.format.empty()) continue;
            require(column.kind == zui::ColumnKind::Number && zui::NumberFormatValid(column.format),
                    "only number columns hold formats, and only valid ones");
            checkFormat(column.format);
        }
    }
}

void checkParse(Zzml_ParseResult *parse) {
    for (const auto &top : parse->parts) {
        Zerr_Report *err = nullptr;
        require(zzml_PartFind(parse, top->name.c_str(), &err) == top.get() && !err, "a frame is found by its name");
        if (top->kind == zui::PartKind::FileQuery) continue;
        require(top->kind == zui::PartKind::Frame, "only frames and queries stand at the top level");
        int32_t width = 0, height = 0;
        zzml_FrameGeometryGet(top.get(), nullptr, nullptr, &width, &height);
        require(width >= 1 && width <= 100000 && height >= 1 && height <= 100000, "a frame's size is in range");
        for (const auto &part : top->parts) checkPart(top.get(), part.get());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    writeScript(data, size);
    const long parsesBefore = zha::LiveCount("parse");
    int client = 0;
    Zerr_Report *err = nullptr;
    Zzml_ParseResult *parse =
        zzml_ParseVa(0, scriptPath().c_str(), zzml_GetTheRoot()->context, &err, static_cast<int32_t>(2), &client,
                     static_cast<int32_t>(0));
    if (!parse) {
        require(err != nullptr, "a refused script is reported");
        const std::string message = zerr_ReportMessage(err);
        require(message.compare(0, scriptPath().size() + 1, scriptPath() + ":") == 0, "the report names the script");
        require(message.find('\n') == std::string::npos, "the report is one line");
        zerr_DeleteErrorReportEx(&err);
        require(zha::LiveCount("parse") == parsesBefore, "a refused script leaves no parse");
        return 0;
    }
    require(err == nullptr, "a parsed script is not reported");
    require(parse->clientData == &client, "the parse holds the client data given");
    require(zha::LiveCount("parse") == parsesBefore + 1, "the parse is counted");
    checkParse(parse);
    zzml_ParseResultFree(&parse, &err);
    require(!parse && !err && zha::LiveCount("parse") == parsesBefore, "the parse frees to nothing");
    return 0;
}
