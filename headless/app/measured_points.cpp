// Reading the point table's numbers into residuals.
#include "app/measured_points.h"

#include <cmath>
#include <filesystem>
#include <string>

#include "app/view.h"
#include "automation/display_automation.h"
#include "automation/ui_automation.h"

namespace zapp {

namespace {

const double kMetresPerFoot = 0.3048;  // the international foot, as the tool's units toggle means it

// The image a pane of the newest viewer shows, or "" when it shows none.
std::string ImageShown(int image) {
    zha::DisplayPaneInfo info;
    Zdis_ViewWindow *pane = zha::PaneOfImage(image, 0);
    if (!pane || !zha::DisplayPane(pane, &info) || info.layers.empty()) return "";
    return info.layers.back().fileName;
}

}  // namespace

zassess::ResidualSet MeasuredResiduals(std::vector<int32_t> *rows) {
    zassess::ResidualSet set;
    if (rows) rows->clear();
    if (!zha::FindPart(kPointTable)) return set;
    set.geographic = zha::CellColumnByTitle(kPointTable, "Measured Latitude") >= 0;
    const std::string left = ImageShown(0), right = ImageShown(1);
    set.vertical = !right.empty();
    set.title = "ZOT Report for " + std::filesystem::path(left).filename().string() +
                (right.empty() ? "" : " and " + std::filesystem::path(right).filename().string());
    zha::PartView units;
    const double metres = zha::ViewPart("unitstoggle", &units, nullptr) && units.value == "Feet" ? kMetresPerFoot : 1.0;

    // The columns by title: east (longitude, X) and north (latitude, Y) of each kind.
    const auto column = [](const char *title) { return zha::CellColumnByTitle(kPointTable, title); };
    const bool g = set.geographic;
    const int32_t id = column("ID"), description = column("T&E Description");
    const int32_t refE = column(g ? "T&E Longitude" : "T&E X"), refN = column(g ? "T&E Latitude" : "T&E Y");
    const int32_t measE = column(g ? "Measured Longitude" : "Measured X");
    const int32_t measN = column(g ? "Measured Latitude" : "Measured Y");
    const int32_t dE = column(g ? "Delta Longitude" : "Delta X"), dN = column(g ? "Delta Latitude" : "Delta Y");
    const int32_t refZ = column("T&E Elevation"), measZ = column("Measured Elevation"), dU = column("Delta Elevation");
    const int32_t ce90 = column("T&E CE90"), le90 = column("T&E LE90");
    const int32_t pixels = column("Mensuration Error (pixels)");
    for (const int32_t c : {id, description, refE, refN, measE, measN, dE, dN, refZ, measZ, dU, ce90, le90, pixels})
        if (c < 0) return set;

    const int32_t rowCount = zha::CellRowCount(kPointTable);
    std::vector<double> n;
    std::vector<std::string> texts;
    for (int32_t row = 0; row < rowCount; ++row) {
        if (!zha::CellValues(kPointTable, row, &n, &texts, nullptr) || std::isnan(n[measN]) || std::isnan(n[measE]))
            continue;
        // An empty cell is what the report writes as zero.
        const auto value = [&](int32_t c, double scale) { return std::isnan(n[c]) ? 0.0 : n[c] * scale; };
        zassess::Residual p;
        p.id = texts[id];
        p.description = texts[description];
        p.refX = value(refE, 1), p.refY = value(refN, 1);
        p.measX = value(measE, 1), p.measY = value(measN, 1);
        p.refZ = value(refZ, metres), p.measZ = value(measZ, metres);
        p.dE = value(dE, metres), p.dN = value(dN, metres), p.dU = value(dU, metres);
        p.refCE90 = value(ce90, metres), p.refLE90 = value(le90, metres);
        p.mensurationPixels = n[pixels];  // none without a pixel size, as the report writes it
        set.points.push_back(std::move(p));
        if (rows) rows->push_back(row);
    }
    return set;
}

}  // namespace zapp
