// Helpers for the point tests: T&E files, the table, labels and markers as the
// user sees them, all through the automation interface.
#ifndef ZT_POINTS_SUPPORT_H
#define ZT_POINTS_SUPPORT_H

#include <gtest/gtest.h>

#include <math.h>
#include <stdio.h>

#include <fstream>
#include <string>
#include <vector>

#include "automation/automation_core.h"
#include "automation/display_automation.h"
#include "automation/ui_automation.h"
#include "fixtures/files.h"
#include "fixtures/tool.h"
#include "fixtures/tool_test.h"
#include "points/points.h"

namespace pt {

// Table columns.
enum Column {
    kId = 1,
    kTELatitude = 2,  // X/Y tables: T&E X
    kTELongitude = 3, // X/Y tables: T&E Y
    kTEElevation = 4,
    kTEColor = 5,
    kTECE90 = 6,
    kTELE90 = 7,
    kTEDescription = 8,
    kMeasuredLatitude = 9,
    kMeasuredLongitude = 10,
    kMeasuredElevation = 11,
    kMeasuredColor = 12,
    kDeltaLatitude = 13,
    kDeltaLongitude = 14,
    kDeltaElevation = 15,
    kMensurationError = 16,
    kIndividualCE = 17,
    kIndividualLE = 18,
};

inline std::string Fixed(double value, int digits = 10) {
    char text[64];
    snprintf(text, sizeof text, "%.*f", digits, value);
    return text;
}

// One T&E line: ID, the two coordinates in file order, elevation, CE90, LE90, description.
inline std::string TELine(const std::string &id, double first, double second, double elevation, double ce90,
                          double le90, const std::string &description) {
    return id + "\t" + Fixed(first) + "\t" + Fixed(second) + "\t" + Fixed(elevation) + "\t" + Fixed(ce90) + "\t" +
           Fixed(le90) + "\t" + description;
}

// Writes lines with CR LF ends and returns the path.
inline std::string WriteTEFile(const zt::TempDir &dir, const std::string &name, const std::vector<std::string> &lines) {
    std::string path = dir.File(name);
    std::ofstream out(path, std::ios::binary);
    for (const std::string &line : lines) out << line << "\r\n";
    return path;
}

// Ground (X, Y) of file position (x, y) of the session's left image (affine images).
inline void GroundOf(const zt::ToolSession &session, double x, double y, double *groundX, double *groundY) {
    zt::ApplyGeoTransform(session.Left().geoTransform, x, y, groundX, groundY);
}

// A geographic T&E file (latitude first) with a point P<i> at each file position
// of the session's left image, elevation 100 + i, CE90 1 + i, LE90 2 + i.
inline std::string WritePointsAt(const zt::ToolSession &session, const std::string &name,
                                 const std::vector<std::pair<double, double>> &positions) {
    std::vector<std::string> lines;
    for (size_t index = 0; index < positions.size(); index++) {
        double groundX = 0, groundY = 0;
        GroundOf(session, positions[index].first, positions[index].second, &groundX, &groundY);
        lines.push_back(TELine("P" + std::to_string(index), groundY, groundX, 100.0 + index, 1.0 + index,
                               2.0 + index, "point " + std::to_string(index)));
    }
    return WriteTEFile(session.Dir(), name, lines);
}

// A ground point: longitude, latitude (degrees), height (m).
struct Ground {
    double lon;
    double lat;
    double height;
};

// A geographic T&E file with a point P<i> at each ground point.
inline std::string WriteGroundPoints(const zt::ToolSession &session, const std::string &name,
                                     const std::vector<Ground> &points) {
    std::vector<std::string> lines;
    for (size_t index = 0; index < points.size(); index++) {
        lines.push_back(TELine("P" + std::to_string(index), points[index].lat, points[index].lon,
                               points[index].height, 1.0, 2.0, "point " + std::to_string(index)));
    }
    return WriteTEFile(session.Dir(), name, lines);
}

// File position of a ground point in image 0 (left) or 1 (right) of the session's stereo pair.
// Whether the pane (image, view 0 main / 1 zoomed) has its centre on file position (x, y).
inline void ExpectCentredOn(int image, int view, double x, double y) {
    zha::DisplayPaneInfo pane;
    ASSERT_TRUE(zha::DisplayPane(zha::PaneOfImage(image, view), &pane));
    ASSERT_FALSE(pane.layers.empty());
    double scale = pane.layers.back().scale;
    EXPECT_NEAR(x * scale, pane.scrollX + floor(pane.canvasWidth * 0.5), 1.0) << "image " << image << "/" << view;
    EXPECT_NEAR(y * scale, pane.scrollY + floor(pane.canvasHeight * 0.5), 1.0) << "image " << image << "/" << view;
}

inline void FileOf(const zt::ToolSession &session, int image, const Ground &ground, double *x, double *y) {
    zt::RpcGroundToFile(image == 0 ? session.Left().rpc : session.Right().rpc, ground.lon, ground.lat,
                        ground.height, x, y);
}

// Calls an application function and returns its report text ("" when none).
inline std::string CallReport(zt::ToolSession &session, const std::string &name,
                              const std::vector<std::string> &args = {}) {
    Zerr_Report *report = nullptr;
    session.Call(name, args, &report);
    return zt::TakeReport(&report);
}

// Opens a T&E file; fails the test when the open printed a report.
inline void OpenTE(zt::ToolSession &session, const std::string &path) {
    zha::ClearPrintedReports();
    EXPECT_EQ("", CallReport(session, "ZOT_OpenTEFile", {path}));
    EXPECT_TRUE(zha::PrintedReports().empty()) << zha::PrintedReports().front();
}

inline std::string Cell(int32_t row, int32_t column) {
    std::string text;
    Zerr_Report *report = nullptr;
    if (!zha::CellText("dataarray", row, column, &text, &report)) {
        ADD_FAILURE() << "cell " << row << ", " << column << ": " << zt::TakeReport(&report);
    }
    return text;
}

// Types text into a cell; returns the report text ("" when the edit was taken).
inline std::string Edit(int32_t row, int32_t column, const std::string &text) {
    Zerr_Report *report = nullptr;
    zha::EditCell("dataarray", row, column, text, &report);
    return zt::TakeReport(&report);
}

inline std::string Label(const std::string &name) {
    zha::PartView view;
    Zerr_Report *report = nullptr;
    if (!zha::ViewPart(name, &view, &report)) ADD_FAILURE() << zt::TakeReport(&report);
    return view.value;
}

inline bool Click(int image, int view, double x, double y) { return zha::ClickInImage(image, view, x, y).delivered; }

inline std::vector<zha::DisplayMarkerInfo> MarkersOfKind(const std::string &kind) {
    std::vector<zha::DisplayMarkerInfo> found;
    for (const zha::DisplayMarkerInfo &marker : zha::DisplayMarkers()) {
        if (marker.kind == kind) found.push_back(marker);
    }
    return found;
}

inline zha::DisplayMarkerInfo Marker(const Zdis_Selector *selector) {
    zha::DisplayMarkerInfo info;
    EXPECT_TRUE(zha::DisplayMarker(selector, &info)) << "marker not alive";
    return info;
}

inline long PaneNumber(int image, int view) {
    zha::DisplayPaneInfo info;
    EXPECT_TRUE(zha::DisplayPane(zha::PaneOfImage(image, view), &info));
    return info.number;
}

// How the marker looks in the pane of that number; fails when it is not shown there at all.
inline zha::DisplayMarkerPaneInfo InPane(const zha::DisplayMarkerInfo &marker, long paneNumber) {
    for (const zha::DisplayMarkerPaneInfo &pane : marker.panes) {
        if (pane.paneNumber == paneNumber) return pane;
    }
    ADD_FAILURE() << "marker not drawn in pane " << paneNumber;
    return zha::DisplayMarkerPaneInfo();
}

inline std::string AllPrinted() {
    std::string text;
    for (const std::string &entry : zha::PrintedReports()) text += entry;
    return text;
}

// Adds count rows by the button and names them P0, P1, ...
inline void AddNamedRows(zt::ToolSession &session, int count) {
    for (int row = 0; row < count; row++) {
        ASSERT_EQ("", CallReport(session, "ZOT_AddRow"));
        int32_t index = session.PointCount() - 1;
        ASSERT_EQ("", Edit(index, kId, "P" + std::to_string(index)));
    }
}

}  // namespace pt

#endif
