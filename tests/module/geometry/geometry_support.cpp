#include "geometry_support.h"

#include <fstream>

#include "automation/automation_core.h"
#include "automation/display_automation.h"
#include "automation/ui_automation.h"
#include "zhost.h"

namespace gt {

std::string Take(Zerr_Report **report) {
    if (*report == nullptr) return "";
    std::string text = zha::ReportText(*report);
    zerr_DeleteErrorReportEx(report);
    return text;
}

void ExpectReport(Zerr_Report **err, const std::string &operation, const std::string &message, bool hasCause,
                  const char *causeOperation) {
    ASSERT_NE(nullptr, *err) << "expected " << operation << ": " << message;
    EXPECT_EQ(operation, zerr_ReportOperation(*err)) << zha::ReportText(*err);
    EXPECT_EQ(message, zerr_ReportMessage(*err)) << zha::ReportText(*err);
    EXPECT_EQ(2, zerr_ReportSeverity(*err));
    const Zerr_Report *cause = zerr_ReportCause(*err);
    EXPECT_EQ(hasCause, cause != nullptr) << zha::ReportText(*err);
    if (causeOperation != nullptr && cause != nullptr) {
        EXPECT_STREQ(causeOperation, zerr_ReportOperation(cause)) << zha::ReportText(*err);
    }
    zerr_DeleteErrorReportEx(err);
}

HandRecord::HandRecord(int imageCount) {
    record_.imageCount = imageCount;
    record_.pointList = zdlm_InitList(sizeof(ZOT_Point), 256, nullptr);
    record_.imagePickList[0] = zdlm_InitList(sizeof(ZOT_PickCoord), 10, nullptr);
    record_.imagePickList[1] = zdlm_InitList(sizeof(ZOT_PickCoord), 10, nullptr);
}

HandRecord::~HandRecord() {
    const int32_t count = zdlm_CountList(record_.pointList, nullptr);
    for (int32_t i = 0; i < count; ++i) {
        ZOT_Point *point = Point(i);
        zmsc_HeapFree(point->pointId);
        zmsc_HeapFree(point->teDescription);
    }
    zdlm_FreeList(&record_.pointList, nullptr);
    zdlm_FreeList(&record_.imagePickList[0], nullptr);
    zdlm_FreeList(&record_.imagePickList[1], nullptr);
    zxfr_XFormFree(&record_.fileToMap[0], nullptr);
    zxfr_XFormFree(&record_.fileToMap[1], nullptr);
    zprj_ProParametersFree(&record_.projection);
    zpho_BlockDataFree(&record_.block, nullptr);
    zmsc_HeapFree(record_.mapUnits);
    zmsc_HeapFree(record_.imageFileName[0]);
    zmsc_HeapFree(record_.imageFileName[1]);
    zzml_ParseResultFree(&parse_, nullptr);
}

void HandRecord::Georeference(int image, const std::string &path) {
    Zerr_Report *err = nullptr;
    zmsc_HeapFree(record_.imageFileName[image]);
    record_.imageFileName[image] = zstr_Duplicate(path.c_str());
    Zprj_ProParameters **parameters = record_.projection == nullptr ? &record_.projection : nullptr;
    GetFileToMap(&err, &record_, path.c_str(), &record_.fileToMap[image], parameters, &record_.imageSizeA[image],
                 &record_.imageSizeB[image]);
    EXPECT_EQ("", Take(&err)) << path;
}

void HandRecord::SetMapUnits(const char *units) {
    zmsc_HeapFree(record_.mapUnits);
    record_.mapUnits = zstr_Duplicate(units);
    record_.unitsAreDegrees = IsDegreeUnits(units) ? 1 : 0;
}

void HandRecord::BuildBlock(const std::string &left, const std::string &right) {
    Zerr_Report *err = nullptr;
    record_.block = CreateBlock(&err, left.c_str(), right.c_str(), record_.projection);
    ASSERT_EQ("", Take(&err));
    record_.modelInfo = zpho_BlockModelInfoGet(record_.block, &err);
    ASSERT_EQ("", Take(&err));
}

void HandRecord::BindLabels(const zt::TempDir &dir) {
    std::ofstream(dir.File("geometry_test.zml")) << "frame geometrytest \"Geometry test\" {\n"
                                                    "    label avgce \"Average CE:\"\n"
                                                    "    label avgle \"Average LE:\"\n"
                                                    "    label ce90 \"CE90:\"\n"
                                                    "    label le90 \"LE90:\"\n"
                                                    "    label leftcount \"Left points:\"\n"
                                                    "    label rightcount \"Right points:\"\n"
                                                    "    cellarray dataarray { column \"ID\" text }\n"
                                                    "}\n";
    zha::SetUiDir(dir.Path());
    Zerr_Report *err = nullptr;
    parse_ = zzml_ParseVa(0, "geometry_test.zml", zzml_GetTheRoot()->context, &err, 2, &record_, 0);
    ASSERT_EQ("", Take(&err));
    Zzml_Part *frame = zzml_PartFind(parse_, "geometrytest", &err);
    ASSERT_EQ("", Take(&err));
    record_.frame = frame;
    record_.avgCELabel = zzml_FrameFindPart(frame, "avgce", nullptr);
    record_.avgLELabel = zzml_FrameFindPart(frame, "avgle", nullptr);
    record_.ce90Label = zzml_FrameFindPart(frame, "ce90", nullptr);
    record_.le90Label = zzml_FrameFindPart(frame, "le90", nullptr);
    record_.leftCountLabel = zzml_FrameFindPart(frame, "leftcount", nullptr);
    record_.rightCountLabel = zzml_FrameFindPart(frame, "rightcount", nullptr);
    record_.dataArray = zzml_FrameFindPart(frame, "dataarray", nullptr);
    ASSERT_NE(nullptr, record_.dataArray);
}

std::string HandRecord::Label(const char *name) const {
    zha::PartView view;
    Zerr_Report *err = nullptr;
    if (!zha::ViewPart(name, &view, &err)) ADD_FAILURE() << Take(&err);
    return view.value;
}

int HandRecord::Add(const ZOT_Point &point) {
    EXPECT_EQ(1, zdlm_Add(record_.pointList, &point, nullptr));
    return zdlm_CountList(record_.pointList, nullptr) - 1;
}

ZOT_Point *HandRecord::Point(int index) {
    return static_cast<ZOT_Point *>(zdlm_GetAddr(record_.pointList, index, nullptr));
}

ZOT_Point CountedPoint() {
    ZOT_Point point{};
    point.isMeasured = 1;
    point.hasTELatitude = point.hasTELongitude = point.hasTEElevation = 1;
    point.hasTECE90 = point.hasTELE90 = point.hasMensurationError = 1;
    return point;
}

std::map<std::string, long> LiveObjects() {
    std::map<std::string, long> counts = zha::LiveCounts();
    for (auto it = counts.begin(); it != counts.end();) it = it->second == 0 ? counts.erase(it) : std::next(it);
    return counts;
}

void GeometryTest::SetUp() {
    zha::FaultClear();
    zha::DisplayReset();
    zha::ClearPrintedReports();
    live_ = LiveObjects();
}

void GeometryTest::TearDown() {
    zha::FaultClear();
    zha::DisplayReset();
    zha::UiReset();
    EXPECT_EQ(live_, LiveObjects()) << "toolkit objects left alive";
}

}  // namespace gt
