// Every operation of the module that takes the tool record refuses a null one
// with a report under its own name, instead of reading through it. The
// exported entries refuse a null record before any of these runs, so only a
// caller inside the module (a callback, a later change) can reach them.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "automation/automation_core.h"
#include "boundary/boundary.h"
#include "fixtures/tool.h"
#include "geometry/geometry.h"
#include "points/points.h"
#include "report/report.h"
#include "tefile/te_files.h"

namespace {

struct NullCase {
    const char *operation;
    std::function<void(Zerr_Report **)> call;
};

// The outermost report of *err, which is then deleted, holds operation and message.
void ExpectRefusal(Zerr_Report **err, const char *operation, const std::string &message) {
    ASSERT_NE(*err, nullptr);
    EXPECT_STREQ(zerr_ReportOperation(*err), operation);
    EXPECT_EQ(zerr_ReportMessage(*err), message);
    zerr_DeleteErrorReportEx(err);
}

TEST(NullRecordTest, EveryOperationRefusesANullRecordUnderItsName) {
    zt::ToolSession session;
    char toolName[] = "pointcreate";
    char *toolArgs[] = {toolName, nullptr};
    char fileName[] = "never-written.txt";
    char *fileArgs[] = {fileName, nullptr};
    double width = 0, height = 0;
    const NullCase cases[] = {
        {"ZOT_SelectTool", [&](Zerr_Report **err) { SelectTool(err, nullptr, 1, toolArgs); }},
        {"SetupViewers", [](Zerr_Report **err) { SetupViewers(err, nullptr); }},
        {"DriveTo", [](Zerr_Report **err) { DriveTo(err, nullptr); }},
        {"GetFileToMap",
         [&](Zerr_Report **err) { GetFileToMap(err, nullptr, "x.tif", nullptr, nullptr, &width, &height); }},
        {"calculatePixelToMeter", [](Zerr_Report **err) { calculatePixelToMeter(nullptr, 0, 0, 0, 1, 1, err); }},
        {"calculateAveragePixelToMeter", [](Zerr_Report **err) { calculateAveragePixelToMeter(nullptr, err); }},
        {"AcceptMeasurement", [](Zerr_Report **err) { AcceptMeasurement(err, nullptr); }},
        {"ClearMeasurement", [](Zerr_Report **err) { ClearMeasurement(err, nullptr); }},
        {"ZOT_AcceptMeasurement", [](Zerr_Report **err) { ZOT_AcceptMeasurement(err, nullptr); }},
        {"ZOT_ClearMeasurement", [](Zerr_Report **err) { ZOT_ClearMeasurement(err, nullptr); }},
        {"ZOT_ToggleGraphics", [](Zerr_Report **err) { ZOT_ToggleGraphics(err, nullptr, 0, nullptr); }},
        {"Display", [](Zerr_Report **err) { Display(err, nullptr); }},
        {"SetLabels", [](Zerr_Report **err) { SetLabels(err, nullptr); }},
        {"ZOT_AddRow", [](Zerr_Report **err) { ZOT_AddRow(err, nullptr); }},
        {"ZOT_UpdateUnits", [](Zerr_Report **err) { ZOT_UpdateUnits(err, nullptr); }},
        {"CreateReport", [](Zerr_Report **err) { CreateReport("never-written.txt", nullptr, err); }},
        {"ZOT_SaveTEFile", [&](Zerr_Report **err) { ZOT_SaveTEFile(nullptr, 1, fileArgs, err); }},
    };
    for (const NullCase &c : cases) {
        SCOPED_TRACE(c.operation);
        Zerr_Report *err = nullptr;
        c.call(&err);
        ExpectRefusal(&err, c.operation, "Invalid ZOT_Data * passed to the function.");
        // Without a slot the refusal goes nowhere, and its report is freed.
        const long reports = zha::LiveCount("report");
        c.call(nullptr);
        EXPECT_EQ(reports, zha::LiveCount("report"));
    }
}

TEST(NullRecordTest, PixelSizeOfAnImageTheToolDoesNotHaveIsRefused) {
    zt::ToolSession session;
    ASSERT_TRUE(session.StartMono());
    for (int32_t image : {-1, 2}) {
        Zerr_Report *err = nullptr;
        calculatePixelToMeter(session.Record(), image, 0, 0, 1, 1, &err);
        ExpectRefusal(&err, "calculatePixelToMeter", "Invalid image index " + std::to_string(image) + ".");
    }
}

}  // namespace
