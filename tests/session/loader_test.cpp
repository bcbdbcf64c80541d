// The module loader: the built module, files that are not modules, and small
// modules built here that lack what a module must have.
#include <gtest/gtest.h>

#include <filesystem>

#include "automation/automation_core.h"
#include "automation/ui_automation.h"
#include "session_support.h"
#include "zerr.h"
#include "zstr.h"

namespace {

// A module whose listing names the functions given; it defines af_zot<name> for
// each name in `defined`, each returning a list holding its own name.
std::string TinyModule(const std::vector<std::string> &listed, const std::vector<std::string> &defined,
                       const std::string &countExpression = "") {
    std::string source =
        "#include <stdint.h>\n#include \"zmsc.h\"\n#include \"zstr.h\"\n"
        "int32_t af_zotInstanceTitleListGet(int32_t *count, char ***names) {\n"
        "    static const char *const all[] = {";
    for (const std::string &name : listed) source += "\"" + name + "\", ";
    source += "0};\n    int32_t i;\n    *count = 0;\n";
    source += "    *names = (char **)zmsc_HeapMalloc(sizeof(char *) * " + std::to_string(listed.size() + 1) + ");\n";
    source += "    for (i = 0; all[i]; ++i) { (*names)[i] = zstr_Duplicate(all[i]); ++*count; }\n";
    if (!countExpression.empty()) source += "    *count = " + countExpression + ";\n";
    source += "    return 0;\n}\n";
    for (const std::string &name : defined)
        source += "Zstr_StringList *af_zot" + name +
                  "(void *h, void *r, int32_t c, char **v, Zerr_Report **e) {\n"
                  "    (void)h; (void)r; (void)c; (void)v;\n"
                  "    return zstr_StringListAppend(0, \"" + name + "\", e);\n}\n";
    return source;
}

class LoaderTest : public ::testing::Test {
protected:
    // Builds a tiny module from source; fails the test when the compiler does.
    std::string Build(const std::string &source, const std::string &name = "tiny.so") {
        const std::string path = dir_.File(name);
        const std::string why = zts::BuildLibrary(source, path);
        EXPECT_EQ(why, "");
        return path;
    }
    zt::TempDir dir_;
};

TEST_F(LoaderTest, BuiltModuleListsItsSixteenFunctionsAndFreesTheListing) {
    const long strings = zha::LiveCount("string"), heap = zha::LiveCount("heap");
    zapp::Module module;
    std::string why;
    ASSERT_TRUE(module.Load(ZOT_DEFAULT_MODULE, &why)) << why;
    const std::vector<std::string> expected = {
        "ZOT_SelectImages", "ZOT_Start",          "ZOT_SelectTool",        "ZOT_OpenTEFile",
        "ZOT_SaveTEFile",   "ZOT_DriveTo",        "ZOT_ClearMeasurement",  "ZOT_AcceptMeasurement",
        "ZOT_ToggleGraphics", "ZOT_CloseTool",    "ZOT_UpdateUnits",       "ZOT_AddRow",
        "ZOT_CreateReport", "ZOT_ZOTType",        "ZOT_SetAutoDrive",      "ZOT_SetFormat"};
    EXPECT_EQ(module.Names(), expected);
    for (const std::string &name : expected) EXPECT_NE(module.Find(name), nullptr) << name;
    EXPECT_EQ(module.Find("ZOT_Missing"), nullptr);
    EXPECT_EQ(module.Find("af_zotZOT_Start"), nullptr) << "names are looked up without the prefix";
    // The listing's strings and array went back to the heap.
    EXPECT_EQ(zha::LiveCount("string"), strings);
    EXPECT_EQ(zha::LiveCount("heap"), heap);
}

TEST_F(LoaderTest, InstalledResolverReachesTheModuleUntilUnloaded) {
    zapp::Module module;
    std::string why;
    ASSERT_TRUE(module.Load(ZOT_DEFAULT_MODULE, &why)) << why;
    module.InstallResolver();
    Zerr_Report *report = nullptr;
    ASSERT_TRUE(zha::CallAppFunction("ZOT_SelectImages", {}, &report));
    EXPECT_EQ(zha::LiveCount("parse"), 1);
    Zstr_StringList *result = nullptr;
    ASSERT_TRUE(zha::CallAppFunction("ZOT_ZOTType", {}, &report, &result));
    ASSERT_EQ(zstr_StringListCount(result), 1);
    EXPECT_STREQ(zstr_StringListGet(result, 0), "stereo");
    zstr_StringListDelete(&result, nullptr);
    ASSERT_TRUE(zha::CallAppFunction("ZOT_CloseTool", {}, &report));
    EXPECT_EQ(zha::LiveCount("parse"), 0);

    module.Unload();
    EXPECT_FALSE(module.Loaded());
    EXPECT_FALSE(zha::CallAppFunction("ZOT_ZOTType", {}, &report));
    ASSERT_NE(report, nullptr);
    EXPECT_NE(std::string(zerr_ReportMessage(report)).find("ZOT_ZOTType"), std::string::npos);
    zerr_DeleteErrorReportEx(&report);
}

TEST_F(LoaderTest, MissingFileIsAClearError) {
    zapp::Module module;
    std::string why;
    EXPECT_FALSE(module.Load(dir_.File("absent.so"), &why));
    EXPECT_FALSE(module.Loaded());
    EXPECT_NE(why.find("cannot load module " + dir_.File("absent.so")), std::string::npos) << why;
    EXPECT_NE(why.find("No such file"), std::string::npos) << why;
}

TEST_F(LoaderTest, FileThatIsNotALibraryIsAClearError) {
    zt::WriteText(dir_.File("text.so"), "not a library\n");
    zapp::Module module;
    std::string why;
    EXPECT_FALSE(module.Load(dir_.File("text.so"), &why));
    EXPECT_NE(why.find("cannot load module"), std::string::npos) << why;
    EXPECT_NE(why.find("text.so"), std::string::npos) << why;
}

TEST_F(LoaderTest, ModuleWithoutTheListingNamesTheMissingSymbol) {
    const std::string path = Build("int af_zotSomethingElse(void) { return 1; }\n");
    zapp::Module module;
    std::string why;
    EXPECT_FALSE(module.Load(path, &why));
    EXPECT_NE(why.find("has no function af_zotInstanceTitleListGet"), std::string::npos) << why;
    EXPECT_NE(why.find("undefined symbol"), std::string::npos) << "the loader's own text: " << why;
}

TEST_F(LoaderTest, ListedFunctionMissingFromTheModuleIsNamedAndTheListingFreed) {
    const std::string path = Build(TinyModule({"ZOT_Present", "ZOT_Absent", "ZOT_Later"}, {"ZOT_Present"}));
    const long strings = zha::LiveCount("string"), heap = zha::LiveCount("heap");
    zapp::Module module;
    std::string why;
    EXPECT_FALSE(module.Load(path, &why));
    EXPECT_NE(why.find("lists ZOT_Absent but has no function af_zotZOT_Absent"), std::string::npos) << why;
    EXPECT_FALSE(module.Loaded());
    EXPECT_TRUE(module.Names().empty());
    EXPECT_EQ(zha::LiveCount("string"), strings);
    EXPECT_EQ(zha::LiveCount("heap"), heap);
}

TEST_F(LoaderTest, SmallModuleLoadsAndAnswersThroughTheResolver) {
    const std::string path = Build(TinyModule({"ZOT_One", "ZOT_Two"}, {"ZOT_One", "ZOT_Two"}));
    zapp::Module module;
    std::string why;
    ASSERT_TRUE(module.Load(path, &why)) << why;
    EXPECT_EQ(module.Names(), (std::vector<std::string>{"ZOT_One", "ZOT_Two"}));
    module.InstallResolver();
    Zerr_Report *report = nullptr;
    Zstr_StringList *result = nullptr;
    ASSERT_TRUE(zha::CallAppFunction("ZOT_Two", {"ignored"}, &report, &result));
    ASSERT_EQ(zstr_StringListCount(result), 1);
    EXPECT_STREQ(zstr_StringListGet(result, 0), "ZOT_Two");
    zstr_StringListDelete(&result, nullptr);
    EXPECT_FALSE(zha::CallAppFunction("ZOT_SelectImages", {}, &report)) << "not in this module";
    zerr_DeleteErrorReportEx(&report);
}

TEST_F(LoaderTest, ListingWithANegativeCountIsRefused) {
    const std::string path = Build(TinyModule({}, {}, "-5"));
    zapp::Module module;
    std::string why;
    EXPECT_FALSE(module.Load(path, &why));
    EXPECT_NE(why.find("invalid list (count -5)"), std::string::npos) << why;
}

TEST_F(LoaderTest, LoadingAnotherFileReplacesTheModuleEvenWhenItFails) {
    zapp::Module module;
    std::string why;
    ASSERT_TRUE(module.Load(ZOT_DEFAULT_MODULE, &why)) << why;
    module.InstallResolver();
    EXPECT_FALSE(module.Load(dir_.File("absent.so"), &why));
    EXPECT_FALSE(module.Loaded());
    EXPECT_EQ(module.Find("ZOT_Start"), nullptr);
    Zerr_Report *report = nullptr;
    EXPECT_FALSE(zha::CallAppFunction("ZOT_SelectImages", {}, &report)) << "the old resolver was removed";
    zerr_DeleteErrorReportEx(&report);
    EXPECT_EQ(zha::LiveCount("parse"), 0);
}

TEST_F(LoaderTest, BareFileNameMeansTheFileInTheCurrentFolder) {
    Build(TinyModule({"ZOT_One"}, {"ZOT_One"}), "bare.so");
    const std::filesystem::path saved = std::filesystem::current_path();
    std::filesystem::current_path(dir_.Path());
    zapp::Module module;
    std::string why;
    const bool loaded = module.Load("bare.so", &why);
    std::filesystem::current_path(saved);
    EXPECT_TRUE(loaded) << why;
    EXPECT_EQ(module.Path(), "bare.so");
}

}  // namespace
