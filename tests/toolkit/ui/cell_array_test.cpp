// Tables through the toolkit API and automation, backed by small test
// callbacks: what cells show, edits by column kind, the current row, row
// selections, deleting and inserting rows.
#include <cstring>
#include <string>

#include "ui_test_support.h"

namespace {

using uit::Take;

const char *const kScript =
    "frame f \"F\" {\n"
    "  cellarray table {\n"
    "    column \"Row\" rowheader\n"
    "    column \"Name\" text\n"
    "    column \"Value\" number\n"
    "    column \"Latitude\" number\n"
    "    column \"Longitude\" number\n"
    "    column \"Colour\" colour\n"
    "    column \"Scaled\" number format \"%.1f m\"\n"
    "    column \"Fixed\" number\n"
    "  }\n"
    "}\n";

enum Col { kRow, kName, kValue, kLatitude, kLongitude, kColour, kScaled, kFixed, kColumns };

// What the table shows, held the way a module holds it: a value per cell and
// whether it has one. Every callback call is counted.
struct Rows {
    struct Row {
        std::string name;
        double number[kColumns] = {};
        bool has[kColumns] = {};
        double colour[4] = {1, 0, 0, 1};
    };
    std::vector<Row> rows;
    int gets = 0;
    int puts = 0;
    int32_t lastSize = -1;
    int exclusiveChanges = 0;
    int deletes = 0;
    std::vector<int32_t> selectedAtDelete;
    std::vector<std::pair<int32_t, int32_t>> inserts;  // (after, row)
    Zzml_Part *table = nullptr;
};

Rows &Of(void *info) { return *static_cast<Rows *>(info); }

int32_t TextGet(void *info, int32_t row, int32_t, void *value, int32_t size) {
    Rows &r = Of(info);
    ++r.gets;
    r.lastSize = size;
    const std::string &name = r.rows[static_cast<size_t>(row)].name;
    if (name.empty()) return 0;
    // Cut to the buffer as a careful module does.
    std::strncpy(static_cast<char *>(value), name.c_str(), static_cast<size_t>(size) - 1);
    static_cast<char *>(value)[size - 1] = '\0';
    return 1;
}

int32_t TextPut(void *info, int32_t row, int32_t, void *value, int32_t) {
    Rows &r = Of(info);
    ++r.puts;
    r.rows[static_cast<size_t>(row)].name = static_cast<const char *>(value);
    return 1;
}

int32_t NumberGet(void *info, int32_t row, int32_t column, void *value, int32_t) {
    Rows &r = Of(info);
    ++r.gets;
    const Rows::Row &data = r.rows[static_cast<size_t>(row)];
    if (!data.has[column]) return 0;
    *static_cast<double *>(value) = data.number[column];
    return 1;
}

// Refuses negative values, as a module refuses what it cannot store.
int32_t NumberPut(void *info, int32_t row, int32_t column, void *value, int32_t) {
    Rows &r = Of(info);
    ++r.puts;
    const double v = *static_cast<double *>(value);
    if (column == kValue && v < 0) return 0;
    r.rows[static_cast<size_t>(row)].number[column] = v;
    r.rows[static_cast<size_t>(row)].has[column] = true;
    return 1;
}

int32_t ColourGet(void *info, int32_t row, int32_t, void *value, int32_t) {
    Rows &r = Of(info);
    ++r.gets;
    std::memcpy(value, r.rows[static_cast<size_t>(row)].colour, sizeof(double) * 4);
    return 1;
}

int32_t ColourPut(void *info, int32_t row, int32_t, void *value, int32_t) {
    Rows &r = Of(info);
    ++r.puts;
    std::memcpy(r.rows[static_cast<size_t>(row)].colour, value, sizeof(double) * 4);
    return 1;
}

void ExclusiveChanged(void *info) { ++Of(info).exclusiveChanges; }

// Deletes the selected rows as a module does: reads the selection back from the
// table, removes the rows from the bottom up and announces the new row count.
void DeleteRows(void *info) {
    Rows &r = Of(info);
    ++r.deletes;
    Zsel_Selection *selection = nullptr;
    int32_t count = 0;
    ASSERT_EQ(zzml_GetValues(r.table, nullptr, "rowcount", &count, "selection", &selection, nullptr), 1);
    r.selectedAtDelete.clear();
    for (int32_t row = count - 1; row >= 0; --row) {
        if (!zsel_SelectionIsSet(selection, row)) continue;
        r.selectedAtDelete.insert(r.selectedAtDelete.begin(), row);
        r.rows.erase(r.rows.begin() + row);
    }
    EXPECT_EQ(zsel_SelectionCount(selection), static_cast<int32_t>(r.selectedAtDelete.size()));
    zsel_SelectionDeleteSelection(selection);
    zzml_SetParameters(r.table, nullptr, "rowcount", static_cast<int32_t>(r.rows.size()), nullptr);
}

void InsertRow(void *info, int32_t after, int32_t row) {
    Rows &r = Of(info);
    r.inserts.emplace_back(after, row);
    Rows::Row fresh;
    fresh.name = "new";
    const size_t at = r.rows.empty() ? 0 : static_cast<size_t>(after ? row + 1 : row);
    r.rows.insert(r.rows.begin() + static_cast<long>(at), fresh);
    zzml_SetParameters(r.table, nullptr, "rowcount", static_cast<int32_t>(r.rows.size()), nullptr);
}

class CellArrayTest : public uit::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        Zzml_ParseResult *result = Parse(kScript);
        ASSERT_NE(result, nullptr);
        table_ = zzml_FrameFindPart(zzml_PartFind(result, "f", nullptr), "table", nullptr);
        ASSERT_NE(table_, nullptr);
        data_.table = table_;
        data_.rows.resize(3);
        data_.rows[0].name = "alpha";
        data_.rows[1].name = "beta";
        Zerr_Report *err = nullptr;
        // Laid out the way the tool lays out its table: no rows first, then
        // every column's callbacks, then the rows.
        ASSERT_EQ(zzml_SetParameters(table_, &err, "rowcount", 0, "columncount", 8, "deleteenable", 1,
                                     "deletecallback", DeleteRows, "deleteinfo", &data_, "insertenable", 1,
                                     "insertcallback", InsertRow, "insertinfo", &data_, "column", 0, "selectflag", 1,
                                     "cellinfo", &data_, "exclusivechangecallback", ExclusiveChanged,
                                     "exclusivechangeinfo", &data_, "column", 1, "getcellvalue", TextGet,
                                     "putcellvalue", TextPut, "cellinfo", &data_, "column", 2, "getcellvalue",
                                     NumberGet, "putcellvalue", NumberPut, "cellinfo", &data_, "column", 3,
                                     "getcellvalue", NumberGet, "putcellvalue", NumberPut, "cellinfo", &data_,
                                     "columnformat", "dg mm ssssss N/S", "column", 4, "getcellvalue", NumberGet,
                                     "putcellvalue", NumberPut, "cellinfo", &data_, "columnformat",
                                     "dg mm ssssss E/W", "column", 5, "getcellvalue", ColourGet, "putcellvalue",
                                     ColourPut, "cellinfo", &data_, "column", 6, "getcellvalue", NumberGet,
                                     "putcellvalue", NumberPut, "cellinfo", &data_, "column", 7, "getcellvalue",
                                     NumberGet, "cellinfo", &data_, nullptr),
                  1)
            << Take(&err);
        EXPECT_EQ(data_.gets, 0) << "a table without rows reads nothing";
        SetRows(3);
    }

    void SetRows(int32_t rows) {
        Zerr_Report *err = nullptr;
        ASSERT_EQ(zzml_SetParameters(table_, &err, "rowcount", rows, nullptr), 1) << Take(&err);
    }

    void SetNumber(size_t row, int column, double value) {
        data_.rows[row].number[column] = value;
        data_.rows[row].has[column] = true;
    }

    std::string Shown(int32_t row, int32_t column) {
        std::string text;
        Zerr_Report *err = nullptr;
        EXPECT_TRUE(zha::CellText("table", row, column, &text, &err)) << Take(&err);
        return text;
    }

    bool Edit(int32_t row, int32_t column, const std::string &text, std::string *report = nullptr) {
        Zerr_Report *err = nullptr;
        const bool done = zha::EditCell("table", row, column, text, &err);
        const std::string reportText = Take(&err);
        if (report) *report = reportText;
        return done;
    }

    Zzml_Part *table_ = nullptr;
    Rows data_;
};

TEST_F(CellArrayTest, CellsShowTheirValuesFormattedByColumnKind) {
    SetNumber(0, kValue, 2.0 / 3.0);
    SetNumber(1, kValue, -1234.5);
    SetNumber(0, kLatitude, 45.5125);          // 45 30 45 N
    SetNumber(1, kLatitude, -33.8568);         // 33 51 24.480 S
    SetNumber(2, kLatitude, -0.25);            // 0 15 0 S
    SetNumber(0, kLongitude, -122.25 - 1.0 / 3600 / 1000 * 0.4);  // rounds to 122 15 00.000 W
    SetNumber(1, kLongitude, 151.0 + 59.0 / 60 + 59.9996 / 3600);  // carries to 152 00 00.000 E
    SetNumber(2, kLongitude, 0.0);
    SetNumber(0, kScaled, 12.345);
    SetNumber(0, kFixed, 7);
    data_.rows[1].colour[0] = 0.25;
    data_.rows[1].colour[1] = 0.5;
    data_.rows[1].colour[2] = 1;
    data_.rows[1].colour[3] = 0.125;
    Zerr_Report *err = nullptr;
    ASSERT_EQ(zzui_CAUpdateAll(table_, &err), 1) << Take(&err);

    std::vector<std::string> row;
    ASSERT_TRUE(zha::CellRow("table", 0, &row, &err)) << Take(&err);
    EXPECT_EQ(row, (std::vector<std::string>{"1", "alpha", "0.667", "45 30 45.000 N", "122 15 00.000 W",
                                             "1.000 0.000 0.000 1.000", "12.3 m", "7.000"}));
    ASSERT_TRUE(zha::CellRow("table", 1, &row, &err)) << Take(&err);
    EXPECT_EQ(row, (std::vector<std::string>{"2", "beta", "-1234.500", "33 51 24.480 S", "152 00 00.000 E",
                                             "0.250 0.500 1.000 0.125", "", ""}));
    ASSERT_TRUE(zha::CellRow("table", 2, &row, &err)) << Take(&err);
    EXPECT_EQ(row, (std::vector<std::string>{"3", "", "", "0 15 00.000 S", "0 00 00.000 E",
                                             "1.000 0.000 0.000 1.000", "", ""}))
        << "cells whose get answers 0 are empty";
    EXPECT_EQ(data_.lastSize, 256) << "text gets fill a buffer of 256 bytes";

    EXPECT_FALSE(zha::CellRow("table", 3, &row, &err));
    EXPECT_NE(Take(&err).find("has no row 3 (3 rows)"), std::string::npos);
    EXPECT_FALSE(zha::CellText("table", 0, 8, nullptr, &err));
    EXPECT_NE(Take(&err).find("has no column 8"), std::string::npos);
}

TEST_F(CellArrayTest, LongTextsAreCutToTheCellBuffer) {
    data_.rows[0].name = std::string(300, 'x') + "END";
    Zerr_Report *err = nullptr;
    ASSERT_EQ(zzui_CAUpdateRow(table_, 0, &err), 1) << Take(&err);
    EXPECT_EQ(Shown(0, kName), std::string(255, 'x'));

    // A typed text reaches the put callback whole, and shows cut again.
    const std::string typed = std::string(400, 'y');
    ASSERT_TRUE(Edit(1, kName, typed));
    EXPECT_EQ(data_.rows[1].name, typed);
    EXPECT_EQ(Shown(1, kName), std::string(255, 'y'));
}

TEST_F(CellArrayTest, TheTableShowsWhatItReadAtItsLastRedraw) {
    EXPECT_EQ(Shown(0, kValue), "");
    SetNumber(0, kValue, 1);
    SetNumber(1, kValue, 2);
    EXPECT_EQ(Shown(0, kValue), "") << "nothing redrawn yet";
    Zerr_Report *err = nullptr;
    ASSERT_EQ(zzui_CAUpdateRow(table_, 1, &err), 1) << Take(&err);
    EXPECT_EQ(Shown(0, kValue), "");
    EXPECT_EQ(Shown(1, kValue), "2.000");
    ASSERT_EQ(zzui_CAUpdateAll(table_, &err), 1) << Take(&err);
    EXPECT_EQ(Shown(0, kValue), "1.000");

    EXPECT_EQ(zzui_CAUpdateRow(table_, 3, &err), 0);
    EXPECT_NE(Take(&err).find("row 3 is not a row of the table (3 rows)"), std::string::npos);
    EXPECT_EQ(zzui_CAUpdateRow(nullptr, 0, &err), 0);
    EXPECT_NE(Take(&err).find("Not a table"), std::string::npos);

    // A new row count redraws every row.
    data_.rows.resize(4);
    SetNumber(3, kValue, 4);
    SetRows(4);
    EXPECT_EQ(Shown(3, kValue), "4.000");
    EXPECT_EQ(Shown(3, kRow), "4");
}

TEST_F(CellArrayTest, EditsAreParsedByColumnKindBeforeTheModuleSeesThem) {
    std::string report;
    ASSERT_TRUE(Edit(0, kValue, " 12.5 ", &report)) << report;
    EXPECT_DOUBLE_EQ(data_.rows[0].number[kValue], 12.5);
    EXPECT_EQ(Shown(0, kValue), "12.500") << "the edited row is redrawn";

    const int puts = data_.puts;
    for (const char *bad : {"12.5abc", "abc", "", "  ", "nan", "inf", "1e999"}) {
        EXPECT_FALSE(Edit(0, kValue, bad, &report)) << bad;
        EXPECT_NE(report.find("is not a number"), std::string::npos) << report;
    }
    EXPECT_FALSE(Edit(0, kValue, std::string("12\0x", 4), &report)) << "a NUL byte hides no trailing text";
    EXPECT_EQ(data_.puts, puts) << "text that is not a number never reaches the put callback";
    EXPECT_DOUBLE_EQ(data_.rows[0].number[kValue], 12.5);

    // Degree columns take decimal degrees or degrees, minutes and seconds.
    const struct {
        int column;
        const char *text;
        double degrees;
    } angles[] = {
        {kLatitude, "45 30 45 S", -45.5125},  {kLatitude, "45:30:45N", 45.5125}, {kLatitude, "-12.5", -12.5},
        {kLatitude, "10 30", 10.5},          {kLongitude, "122 15 0 W", -122.25}, {kLongitude, "0 0 36e", 0.01},
        {kLongitude, "179.5", 179.5},
    };
    for (const auto &angle : angles) {
        ASSERT_TRUE(Edit(1, angle.column, angle.text, &report)) << angle.text << ": " << report;
        EXPECT_NEAR(data_.rows[1].number[angle.column], angle.degrees, 1e-12) << angle.text;
    }
    EXPECT_EQ(Shown(1, kLongitude), "179 30 00.000 E");
    const int anglePuts = data_.puts;
    for (const char *bad : {"45 30 45 E", "95", "-45 30 0 S", "45 60 0 N", "45 30 60", "1 2 3 4 N", "north"}) {
        EXPECT_FALSE(Edit(1, kLatitude, bad, &report)) << bad;
        EXPECT_NE(report, "") << bad;
    }
    EXPECT_FALSE(Edit(1, kLongitude, "181", &report));
    EXPECT_NE(report.find("a longitude lies from 180 W to 180 E"), std::string::npos) << report;
    EXPECT_EQ(data_.puts, anglePuts);

    ASSERT_TRUE(Edit(2, kColour, "0, 0.5, 1", &report)) << report;
    EXPECT_EQ(Shown(2, kColour), "0.000 0.500 1.000 1.000") << "alpha is 1 when left out";
    ASSERT_TRUE(Edit(2, kColour, "0.1 0.2 0.3 0.4", &report)) << report;
    EXPECT_DOUBLE_EQ(data_.rows[2].colour[3], 0.4);
    EXPECT_FALSE(Edit(2, kColour, "0 0 2", &report));
    EXPECT_NE(report.find("colour component \"2\" is not a number from 0 to 1"), std::string::npos) << report;
    EXPECT_FALSE(Edit(2, kColour, "red", &report));

    EXPECT_FALSE(Edit(0, kFixed, "3", &report)) << "a column without put callback";
    EXPECT_NE(report.find("column 7 (\"Fixed\") cannot be edited"), std::string::npos) << report;
    EXPECT_FALSE(Edit(0, kRow, "3", &report));
    EXPECT_FALSE(Edit(5, kValue, "3", &report));
    EXPECT_NE(report.find("row 5 is not a row"), std::string::npos) << report;

    EXPECT_FALSE(Edit(0, kValue, "-4", &report)) << "the put refuses";
    EXPECT_NE(report.find("the value \"-4\" was refused"), std::string::npos) << report;
    EXPECT_EQ(Shown(0, kValue), "12.500");

    Zerr_Report *err = nullptr;
    ASSERT_TRUE(zha::EditCell("table", 2, "Scaled", "2.25", &err)) << Take(&err);
    EXPECT_EQ(Shown(2, kScaled), "2.2 m");
    EXPECT_FALSE(zha::EditCell("table", 2, "Height", "2", &err));
    EXPECT_NE(Take(&err).find("no column titled \"Height\""), std::string::npos);
}

TEST_F(CellArrayTest, ChoosingARowRunsTheChangeCallbackSettingItDoesNot) {
    Zerr_Report *err = nullptr;
    EXPECT_EQ(zzui_CAGetExclusiveRow(table_, 0, &err), 0) << "the first row is current at first";
    EXPECT_EQ(zha::CurrentRow("table"), 0);
    ASSERT_TRUE(zha::ChooseRow("table", 0, &err)) << Take(&err);
    EXPECT_EQ(data_.exclusiveChanges, 0) << "choosing the current row changes nothing";
    ASSERT_TRUE(zha::ChooseRow("table", 1, &err)) << Take(&err);
    EXPECT_EQ(data_.exclusiveChanges, 1);
    EXPECT_EQ(zzui_CAGetExclusiveRow(table_, 0, &err), 1);

    EXPECT_EQ(zzui_CASetExclusiveRow(table_, 0, 2, &err), 1) << Take(&err);
    EXPECT_EQ(data_.exclusiveChanges, 1);
    EXPECT_EQ(zha::CurrentRow("table"), 2);
    // A row about to be announced may become current first; until then the
    // table shows no current row.
    EXPECT_EQ(zzui_CASetExclusiveRow(table_, 0, 3, &err), 1) << Take(&err);
    EXPECT_EQ(zzui_CAGetExclusiveRow(table_, 0, &err), 3);
    EXPECT_EQ(zha::CurrentRow("table"), -1);
    data_.rows.resize(4);
    SetRows(4);
    EXPECT_EQ(zha::CurrentRow("table"), 3);
    EXPECT_EQ(zzui_CASetExclusiveRow(table_, 0, -1, &err), 0);
    EXPECT_NE(Take(&err).find("row -1 is not a row"), std::string::npos);

    EXPECT_FALSE(zha::ChooseRow("table", 4, &err));
    EXPECT_NE(Take(&err).find("row 4 is not a row of the table"), std::string::npos);
    EXPECT_EQ(data_.exclusiveChanges, 1);
}

TEST_F(CellArrayTest, SelectedRowsAreDeletedThroughTheDeleteCallback) {
    data_.rows.resize(5);
    for (size_t i = 0; i < 5; ++i) data_.rows[i].name = "p" + std::to_string(i);
    SetRows(5);
    Zerr_Report *err = nullptr;
    ASSERT_TRUE(zha::SelectRows("table", {3, 1}, &err)) << Take(&err);
    EXPECT_EQ(zha::SelectedRows("table"), (std::vector<int32_t>{1, 3}));
    Zsel_Selection *selection = nullptr;
    ASSERT_EQ(zzml_GetValues(table_, &err, "selection", &selection, nullptr), 1) << Take(&err);
    EXPECT_EQ(zsel_SelectionCount(selection), 2);
    EXPECT_EQ(zsel_SelectionIsSet(selection, 1), 1);
    EXPECT_EQ(zsel_SelectionIsSet(selection, 2), 0);
    EXPECT_EQ(zha::LiveCount("selection"), 1);
    zsel_SelectionDeleteSelection(selection);
    zsel_SelectionDeleteSelection(nullptr);
    EXPECT_EQ(zsel_SelectionCount(nullptr), 0);

    ASSERT_TRUE(zha::DeleteSelectedRows("table", &err)) << Take(&err);
    EXPECT_EQ(data_.deletes, 1);
    EXPECT_EQ(data_.selectedAtDelete, (std::vector<int32_t>{1, 3}));
    EXPECT_EQ(zha::CellRowCount("table"), 3);
    EXPECT_TRUE(zha::SelectedRows("table").empty()) << "deleting clears the selection";
    EXPECT_EQ(Shown(0, kName), "p0");
    EXPECT_EQ(Shown(1, kName), "p2");
    EXPECT_EQ(Shown(2, kName), "p4");

    // Delete with nothing selected still asks the callback, which finds nothing.
    ASSERT_TRUE(zha::DeleteSelectedRows("table", &err));
    EXPECT_EQ(data_.deletes, 2);
    EXPECT_TRUE(data_.selectedAtDelete.empty());

    EXPECT_FALSE(zha::SelectRows("table", {0, 7}, &err));
    EXPECT_NE(Take(&err).find("row 7 is not a row"), std::string::npos);
    ASSERT_TRUE(zha::SelectRows("table", {2}, &err));
    SetRows(2);
    EXPECT_TRUE(zha::SelectedRows("table").empty()) << "a new row count clears the selection";

    ASSERT_EQ(zzml_SetParameters(table_, &err, "deleteenable", 0, "column", 0, "selectflag", 0, nullptr), 1);
    EXPECT_FALSE(zha::DeleteSelectedRows("table", &err));
    EXPECT_NE(Take(&err).find("does not delete rows"), std::string::npos);
    EXPECT_FALSE(zha::SelectRows("table", {0}, &err));
    EXPECT_NE(Take(&err).find("does not let rows be selected"), std::string::npos);
    EXPECT_EQ(data_.deletes, 2);
    EXPECT_EQ(zha::LiveCount("selection"), 0);
}

TEST_F(CellArrayTest, RowsAreInsertedAboveOrBelowThroughTheInsertCallback) {
    Zerr_Report *err = nullptr;
    ASSERT_TRUE(zha::InsertRow("table", 0, false, &err)) << Take(&err);
    ASSERT_TRUE(zha::InsertRow("table", 3, true, &err)) << Take(&err);
    EXPECT_EQ(data_.inserts, (std::vector<std::pair<int32_t, int32_t>>{{0, 0}, {1, 3}}));
    EXPECT_EQ(zha::CellRowCount("table"), 5);
    EXPECT_EQ(Shown(0, kName), "new");
    EXPECT_EQ(Shown(1, kName), "alpha");
    EXPECT_EQ(Shown(4, kName), "new");

    EXPECT_FALSE(zha::InsertRow("table", 5, true, &err));
    EXPECT_NE(Take(&err).find("row 5 is not a row"), std::string::npos);
    EXPECT_EQ(data_.inserts.size(), 2u);

    data_.rows.clear();
    SetRows(0);
    ASSERT_TRUE(zha::InsertRow("table", 0, true, &err)) << "an empty table takes a row at 0: " << Take(&err);
    EXPECT_EQ(zha::CellRowCount("table"), 1);

    ASSERT_EQ(zzml_SetParameters(table_, &err, "insertenable", 0, nullptr), 1);
    EXPECT_FALSE(zha::InsertRow("table", 0, true, &err));
    EXPECT_NE(Take(&err).find("does not insert rows"), std::string::npos);
}

// A get callback that asks for a redraw while the table is being redrawn is
// refused instead of recursing without end.
Zzml_Part *theRedrawTable = nullptr;
int theNestedResult = -1;
int32_t RedrawingGet(void *, int32_t, int32_t, void *value, int32_t) {
    Zerr_Report *err = nullptr;
    theNestedResult = zzui_CAUpdateAll(theRedrawTable, &err);
    zerr_DeleteErrorReportEx(&err);
    *static_cast<double *>(value) = 1;
    return 1;
}

TEST_F(CellArrayTest, RedrawingFromInsideARedrawIsRefused) {
    theRedrawTable = table_;
    Zerr_Report *err = nullptr;
    ASSERT_EQ(zzml_SetParameters(table_, &err, "column", 7, "getcellvalue", RedrawingGet, nullptr), 1)
        << Take(&err);
    EXPECT_EQ(theNestedResult, 0);
    EXPECT_EQ(Shown(2, kFixed), "1.000");
    EXPECT_EQ(zzui_CAUpdateAll(table_, &err), 1) << Take(&err);
}

}  // namespace
