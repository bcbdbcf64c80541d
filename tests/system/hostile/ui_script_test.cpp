// Hostile UI scripts: nesting far deeper than the language allows, and scripts
// too large, are refused with the script and line named, by the toolkit and by
// zot-host before any session runs.
#include <sstream>
#include <string>

#include "hostile_support.h"
#include "main/host.h"
#include "zzml.h"

namespace {

using hs::Contains;

struct HostileScript {
    const char *what;
    std::string text;
    std::string error;  // after "<path>:"
};

std::string Repeat(const std::string &text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

std::vector<HostileScript> HostileScripts() {
    return {
        {"100,000 nested braces", "frame f \"F\" {" + std::string(100000, '{') + std::string(100000, '}') + "}\n",
         "1: expected a part (label, toggle, field, button, cellarray, tool) or '}', found '{'"},
        {"frames nested 10,000 deep",
         Repeat("frame f \"F\" {\n", 10000) + Repeat("}\n", 10000),
         "2: expected a part (label, toggle, field, button, cellarray, tool) or '}', found 'frame'"},
        {"a table inside a table", "frame f \"F\" {\n cellarray a { cellarray b { column \"C\" text } }\n}\n",
         "2: expected 'column' or '}', found 'cellarray'"},
        {"an error after 100,000 lines", Repeat("# comment\n", 100000) + "frame f \"F\" { label }\n",
         "100001: expected the name of the label"},
        {"a script of 2 MB", "frame f \"F\" {}\n" + Repeat("# " + std::string(1022, '.') + "\n", 2048),
         " larger than 1048576 bytes"},
    };
}

TEST(HostileScripts, TheToolkitRefusesEachNamingTheScriptAndLine) {
    zt::TempDir dir;
    for (const HostileScript &script : HostileScripts()) {
        SCOPED_TRACE(script.what);
        const std::string path = hs::WriteBytes(dir, "hostile.zml", script.text);
        const long parses = zha::LiveCount("parse");
        Zerr_Report *err = nullptr;
        Zzml_ParseResult *parse = zzml_ParseVa(0, path.c_str(), zzml_GetTheRoot()->context, &err, 0);
        EXPECT_EQ(nullptr, parse);
        const std::string text = zt::TakeReport(&err);
        EXPECT_TRUE(Contains(text, path + ":" + script.error)) << text;
        EXPECT_EQ(parses, zha::LiveCount("parse"));
        zzml_ParseResultFree(&parse, nullptr);
    }
}

TEST(HostileScripts, ZotHostRefusesANestedScriptBeforeAnySession) {
    zt::TempDir dir;
    const HostileScript script = HostileScripts().front();
    hs::WriteBytes(dir, "af_zot.zml", script.text);
    const std::string session = hs::WriteBytes(dir, "any.session", "call ZOT_SelectImages\n");
    std::ostringstream out, err;
    const int status = zmain::HostMain({"--ui-dir", dir.Path(), "run", session}, out, err);
    EXPECT_EQ(zmain::kHostSetup, status);
    EXPECT_TRUE(Contains(err.str(), dir.File("af_zot.zml") + ":" + script.error)) << err.str();
    EXPECT_FALSE(Contains(out.str(), "ZOT_SelectImages")) << "no session ran";
}

}  // namespace
