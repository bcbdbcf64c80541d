// The application functions' common contract, called as a host calls them: the
// five arguments, the record check, the error slot; and the three small
// functions that report the image mode and set the two switches.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <string>
#include <vector>

#include "automation/automation_core.h"
#include "boundary/exports.h"
#include "fixtures/tool.h"
#include "zhost.h"

namespace {

using Export = Zstr_StringList *(*)(void *, ZOT_Data *, int32_t, char **, Zerr_Report **);

struct NamedExport {
    const char *name;
    Export function;
};

// Every function that needs a tool record and hands its failures back.
const NamedExport kNeedRecord[] = {
    {"ZOT_SelectTool", af_zotZOT_SelectTool},
    {"ZOT_SaveTEFile", af_zotZOT_SaveTEFile},
    {"ZOT_DriveTo", af_zotZOT_DriveTo},
    {"ZOT_ClearMeasurement", af_zotZOT_ClearMeasurement},
    {"ZOT_AcceptMeasurement", af_zotZOT_AcceptMeasurement},
    {"ZOT_ToggleGraphics", af_zotZOT_ToggleGraphics},
    {"ZOT_UpdateUnits", af_zotZOT_UpdateUnits},
    {"ZOT_AddRow", af_zotZOT_AddRow},
    {"ZOT_CreateReport", af_zotZOT_CreateReport},
    {"ZOT_ZOTType", af_zotZOT_ZOTType},
    {"ZOT_SetAutoDrive", af_zotZOT_SetAutoDrive},
    {"ZOT_SetFormat", af_zotZOT_SetFormat},
};

// Texts a function sees as its argument vector.
struct Args {
    Args(std::initializer_list<std::string> list) : texts(list) {
        for (std::string &text : texts) pointers.push_back(&text[0]);
    }
    int32_t count() const { return static_cast<int32_t>(texts.size()); }
    char **data() { return pointers.empty() ? nullptr : pointers.data(); }
    std::vector<std::string> texts;
    std::vector<char *> pointers;
};

class ApplicationFunctionTest : public ::testing::Test {
protected:
    void SetUp() override {
        zha::FaultClear();
        zha::ClearPrintedReports();
        live_ = zt::LiveToolObjects();
    }
    void TearDown() override {
        zha::FaultClear();
        zha::ClearPrintedReports();
        EXPECT_EQ(zt::LiveDifference(live_, zt::LiveToolObjects()), "");
    }

    // Calls a switch function on record with args; returns its report text.
    static std::string CallSwitch(Export function, ZOT_Data *record, Args args) {
        Zerr_Report *err = nullptr;
        Zstr_StringList *result = function(nullptr, record, args.count(), args.data(), &err);
        EXPECT_EQ(result, nullptr) << "a switch returns no list";
        return zt::TakeReport(&err);
    }

    std::map<std::string, long> live_;
};

TEST_F(ApplicationFunctionTest, NullRecordIsRefusedUnderEachFunctionsName) {
    for (const NamedExport &entry : kNeedRecord) {
        SCOPED_TRACE(entry.name);
        Args args{"pointcreate"};
        Zerr_Report *err = nullptr;
        Zstr_StringList *result = entry.function(nullptr, nullptr, args.count(), args.data(), &err);
        EXPECT_EQ(result, nullptr);
        ASSERT_NE(err, nullptr);
        EXPECT_STREQ(zerr_ReportOperation(err), entry.name);
        EXPECT_STREQ(zerr_ReportMessage(err), "Invalid ZOT_Data * passed to the function.");
        EXPECT_EQ(zerr_ReportSeverity(err), 2);
        EXPECT_EQ(zerr_ReportCause(err), nullptr);
        zerr_DeleteErrorReportEx(&err);
    }
    EXPECT_TRUE(zha::PrintedReports().empty());
}

TEST_F(ApplicationFunctionTest, NullRecordWithoutAnErrorSlotLeavesNoReportAlive) {
    long reports = zha::LiveCount("report");
    for (const NamedExport &entry : kNeedRecord) {
        EXPECT_EQ(entry.function(nullptr, nullptr, 0, nullptr, nullptr), nullptr) << entry.name;
    }
    EXPECT_EQ(zha::LiveCount("report"), reports);
}

// Opening a T&E file takes no error slot: its failures are printed, and the
// slot the host passes is not touched.
TEST_F(ApplicationFunctionTest, OpenTEFileWithNullRecordPrintsAndLeavesTheSlotAlone) {
    Args args{"points.txt"};
    int untouched = 0;
    Zerr_Report *err = reinterpret_cast<Zerr_Report *>(&untouched);
    EXPECT_EQ(af_zotZOT_OpenTEFile(nullptr, nullptr, args.count(), args.data(), &err), nullptr);
    EXPECT_EQ(err, reinterpret_cast<Zerr_Report *>(&untouched));
    ASSERT_EQ(zha::PrintedReports().size(), 1u);
    const std::string &printed = zha::PrintedReports()[0];
    EXPECT_NE(printed.find("ZOT_OpenTEFile"), std::string::npos) << printed;
    EXPECT_NE(printed.find("Invalid ZOT_Data * passed to the function."), std::string::npos) << printed;
}

TEST_F(ApplicationFunctionTest, CloseToolWithNullRecordDoesNothingAndReportsNothing) {
    int stale = 0;
    Zerr_Report *err = reinterpret_cast<Zerr_Report *>(&stale);
    EXPECT_EQ(af_zotZOT_CloseTool(nullptr, nullptr, 0, nullptr, &err), nullptr);
    EXPECT_EQ(err, nullptr) << "closing always clears the slot";
    EXPECT_TRUE(zha::PrintedReports().empty());
    EXPECT_EQ(af_zotZOT_CloseTool(nullptr, nullptr, 0, nullptr, nullptr), nullptr);
}

TEST_F(ApplicationFunctionTest, VectorWithAMissingTextIsRefused) {
    ZOT_Data record = {};
    char *args[] = {nullptr};
    Zerr_Report *err = nullptr;
    af_zotZOT_SetAutoDrive(nullptr, &record, 1, args, &err);
    ASSERT_NE(err, nullptr);
    EXPECT_STREQ(zerr_ReportOperation(err), "ZOT_SetAutoDrive");
    EXPECT_STREQ(zerr_ReportMessage(err), "Invalid argument vector passed to the function.");
    zerr_DeleteErrorReportEx(&err);
    EXPECT_EQ(record.autoDrive, 0);
}

TEST_F(ApplicationFunctionTest, ZOTTypeAnswersMonoOnlyForOneImage) {
    struct Case {
        int32_t imageCount;
        const char *answer;
    };
    for (Case c : {Case{1, "mono"}, Case{2, "stereo"}, Case{0, "stereo"}}) {
        SCOPED_TRACE(c.imageCount);
        ZOT_Data record = {};
        record.imageCount = c.imageCount;
        Zerr_Report *err = nullptr;
        Zstr_StringList *result = af_zotZOT_ZOTType(nullptr, &record, 0, nullptr, &err);
        EXPECT_EQ(err, nullptr) << zt::TakeReport(&err);
        ASSERT_NE(result, nullptr);
        ASSERT_EQ(zstr_StringListCount(result), 1);
        EXPECT_STREQ(zstr_StringListGet(result, 0), c.answer);
        zstr_StringListDelete(&result, nullptr);
    }
}

TEST_F(ApplicationFunctionTest, ZOTTypeReportsAFailedAppendWithItsCause) {
    ZOT_Data record = {};
    record.imageCount = 1;
    zha::FaultInject("zstr_StringListAppend", 1);
    Zerr_Report *err = nullptr;
    Zstr_StringList *result = af_zotZOT_ZOTType(nullptr, &record, 0, nullptr, &err);
    EXPECT_EQ(result, nullptr) << "the result is what the append returned";
    ASSERT_NE(err, nullptr);
    EXPECT_STREQ(zerr_ReportOperation(err), "ZOT_ZOTType");
    EXPECT_STREQ(zerr_ReportMessage(err), "Error appending string to string list.");
    ASSERT_NE(zerr_ReportCause(err), nullptr);
    EXPECT_STREQ(zerr_ReportOperation(zerr_ReportCause(err)), "zstr_StringListAppend");
    zerr_DeleteErrorReportEx(&err);
}

struct SwitchCase {
    const char *function;
    Export call;
    const char *word;
    int32_t ZOT_Data::*field;
};

// Names the case in test listings and failures.
void PrintTo(const SwitchCase &c, std::ostream *out) { *out << c.function; }

class SwitchTest : public ApplicationFunctionTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(SwitchTest, WordInAnyLetterCaseSetsTheSwitchAndAnyOtherTextClearsIt) {
    const SwitchCase &c = GetParam();
    std::string word = c.word;
    std::string upper, lower, mixed;
    for (size_t i = 0; i < word.size(); ++i) {
        upper += static_cast<char>(toupper(word[i]));
        lower += static_cast<char>(tolower(word[i]));
        mixed += static_cast<char>(i % 2 ? toupper(word[i]) : tolower(word[i]));
    }
    for (const std::string &yes : {word, upper, lower, mixed}) {
        ZOT_Data record = {};
        EXPECT_EQ(CallSwitch(c.call, &record, {yes}), "") << yes;
        EXPECT_EQ(record.*c.field, 1) << yes;
    }
    for (const std::string &no : {std::string("1"), std::string("0"), std::string(""), word + " ", word.substr(1),
                                  std::string("False"), std::string("Formatted")}) {
        ZOT_Data record = {};
        record.*c.field = 1;
        EXPECT_EQ(CallSwitch(c.call, &record, {no}), "") << no;
        EXPECT_EQ(record.*c.field, 0) << "'" << no << "'";
    }
}

TEST_P(SwitchTest, WrongArgumentCountIsRefusedAndChangesNothing) {
    const SwitchCase &c = GetParam();
    for (int32_t before : {0, 1}) {
        ZOT_Data record = {};
        record.*c.field = before;
        for (Args args : {Args{}, Args{c.word, c.word}}) {
            Zerr_Report *err = nullptr;
            c.call(nullptr, &record, args.count(), args.data(), &err);
            ASSERT_NE(err, nullptr);
            EXPECT_STREQ(zerr_ReportOperation(err), c.function);
            EXPECT_STREQ(zerr_ReportMessage(err), "Incorrect number of parameters");
            EXPECT_EQ(zerr_ReportCause(err), nullptr);
            zerr_DeleteErrorReportEx(&err);
            EXPECT_EQ(record.*c.field, before);
        }
    }
    // A count without a vector is no argument at all.
    ZOT_Data record = {};
    Zerr_Report *err = nullptr;
    c.call(nullptr, &record, 1, nullptr, &err);
    ASSERT_NE(err, nullptr);
    EXPECT_STREQ(zerr_ReportMessage(err), "Incorrect number of parameters");
    zerr_DeleteErrorReportEx(&err);
}

TEST_P(SwitchTest, WorksWithoutAnErrorSlot) {
    const SwitchCase &c = GetParam();
    ZOT_Data record = {};
    Args args{c.word};
    c.call(nullptr, &record, args.count(), args.data(), nullptr);
    EXPECT_EQ(record.*c.field, 1);
    long reports = zha::LiveCount("report");
    c.call(nullptr, &record, 0, nullptr, nullptr);
    EXPECT_EQ(record.*c.field, 1);
    EXPECT_EQ(zha::LiveCount("report"), reports);
}

INSTANTIATE_TEST_SUITE_P(
    Switches, SwitchTest,
    ::testing::Values(SwitchCase{"ZOT_SetAutoDrive", af_zotZOT_SetAutoDrive, "True", &ZOT_Data::autoDrive},
                      SwitchCase{"ZOT_SetFormat", af_zotZOT_SetFormat, "Condensed", &ZOT_Data::condensedFormat}),
    [](const ::testing::TestParamInfo<SwitchCase> &info) { return std::string(info.param.function).substr(4); });

}  // namespace
