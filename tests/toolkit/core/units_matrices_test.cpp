// Unit conversion by name, small matrices and the toolkit context.
#include <cmath>

#include "core_test_support.h"
#include "zcvt.h"
#include "zerr.h"
#include "zgda.h"
#include "zint.h"

namespace {

struct Conversion {
    const char *from;
    const char *to;
    double in;
    double out;
};

}  // namespace

using CoreUnitsTest = CoreTest;

TEST_F(CoreUnitsTest, ConvertsBetweenEveryKnownUnit) {
    const Conversion cases[] = {
        {"meters", "feet", 0.3048, 1.0},
        {"feet", "meters", 1000.0, 304.8},
        {"us_survey_feet", "meters", 3937.0, 1200.0},
        {"meters", "us_survey_feet", 1200.0, 3937.0},
        {"kilometers", "meters", 1.5, 1500.0},
        {"meters", "kilometers", 250.0, 0.25},
        {"kilometers", "feet", 0.3048, 1000.0},
        {"metre", "foot", 3.048, 10.0},
        {"Metres", "Meter", 7.25, 7.25},
        {"feet", "feet", 0.1, 0.1},
        {"us_survey_feet", "feet", 1.0, 1200.0 / 3937.0 / 0.3048},
        {"meters", "feet", -2.0, -2.0 / 0.3048},
    };
    for (const Conversion &c : cases) {
        double out = 0.0;
        Zerr_Report *err = nullptr;
        ASSERT_EQ(1, zcvt_UnitsConvertByName(&c.in, c.from, &out, c.to, 1, &err)) << c.from << " " << c.to;
        EXPECT_EQ(nullptr, err);
        EXPECT_NEAR(c.out, out, 1e-12 * std::fabs(c.out)) << c.from << " -> " << c.to;
    }
}

TEST_F(CoreUnitsTest, ConvertsSeveralValuesInPlace) {
    double values[3] = {1.0, 2.0, -3.0};
    ASSERT_EQ(1, zcvt_UnitsConvertByName(values, "kilometers", values, "meters", 3, nullptr));
    EXPECT_EQ(1000.0, values[0]);
    EXPECT_EQ(2000.0, values[1]);
    EXPECT_EQ(-3000.0, values[2]);
}

TEST_F(CoreUnitsTest, AnUnknownUnitIsAReportAndTheOutputIsUntouched) {
    for (const char *bad : {"degrees", "", "furlongs"}) {
        double out = 42.0;
        const double in = 1.0;
        Zerr_Report *err = nullptr;
        EXPECT_EQ(0, zcvt_UnitsConvertByName(&in, "meters", &out, bad, 1, &err));
        ASSERT_NE(nullptr, err) << bad;
        EXPECT_NE(std::string::npos, std::string(zerr_ReportMessage(err)).find(bad));
        zerr_DeleteErrorReportEx(&err);
        EXPECT_EQ(0, zcvt_UnitsConvertByName(&in, bad, &out, "feet", 1, &err));
        EXPECT_NE(nullptr, err);
        zerr_DeleteErrorReportEx(&err);
        EXPECT_EQ(42.0, out);
    }
    double out = 42.0;
    Zerr_Report *err = nullptr;
    EXPECT_EQ(0, zcvt_UnitsConvertByName(&out, nullptr, &out, "feet", 1, &err));
    zerr_DeleteErrorReportEx(&err);
    EXPECT_EQ(0, zcvt_UnitsConvertByName(nullptr, "feet", &out, "feet", 1, &err));
    zerr_DeleteErrorReportEx(&err);
    EXPECT_EQ(42.0, out);
}

using CoreMatricesTest = CoreTest;

TEST_F(CoreMatricesTest, APointMatrixIsTwoRowsOfZerosInRowMajorOrder) {
    Zerr_Report *err = nullptr;
    Zgda_BaseData *point = zgda_BaseDataCreate(2, 1, 10, 2, 0, &err);
    ASSERT_NE(nullptr, point);
    EXPECT_EQ(2, point->rows);
    EXPECT_EQ(1, point->columns);
    EXPECT_EQ(0.0, point->data[0]);
    EXPECT_EQ(0.0, point->data[1]);
    Zgda_BaseData *grid = zgda_BaseDataCreate(3, 4, 10, 2, 0, &err);
    ASSERT_NE(nullptr, grid);
    for (int i = 0; i < 12; ++i) grid->data[i] = i;  // every cell is writable
    EXPECT_EQ(1 * 4 + 2, grid->data[1 * grid->columns + 2]);
    EXPECT_EQ(2, zha::LiveCount("matrix"));
    EXPECT_EQ(1, zgda_BaseDataDelete(point, &err));
    EXPECT_EQ(1, zgda_BaseDataDelete(grid, &err));
    EXPECT_EQ(1, zgda_BaseDataDelete(nullptr, &err));
    EXPECT_EQ(nullptr, err);
}

TEST_F(CoreMatricesTest, UnsupportedTypesAndShapesAreReported) {
    Zerr_Report *err = nullptr;
    EXPECT_EQ(nullptr, zgda_BaseDataCreate(2, 1, 3, 2, 0, &err));
    EXPECT_NE(nullptr, err);
    zerr_DeleteErrorReportEx(&err);
    EXPECT_EQ(nullptr, zgda_BaseDataCreate(0, 1, 10, 2, 0, &err));
    EXPECT_NE(nullptr, err);
    zerr_DeleteErrorReportEx(&err);
    EXPECT_EQ(nullptr, zgda_BaseDataCreate(2, 1, 10, 3, 0, &err));
    EXPECT_NE(nullptr, err);
    zerr_DeleteErrorReportEx(&err);
}

TEST(CoreContextTest, IsOneProcessWideObject) {
    EXPECT_NE(nullptr, zint_GetInit());
    EXPECT_EQ(zint_GetInit(), zint_GetInit());
}
