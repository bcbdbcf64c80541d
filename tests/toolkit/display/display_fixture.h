// Shared set-up for the display tests: a temporary folder with tiny
// georeferenced images, a viewer made through the toolkit, and a teardown that
// resets the display and proves nothing the display handed out is still alive.
#ifndef ZOT_TESTS_DISPLAY_FIXTURE_H
#define ZOT_TESTS_DISPLAY_FIXTURE_H

#include <gtest/gtest.h>

#include <cmath>

#include <string>

#include "automation/automation_core.h"
#include "automation/display_automation.h"
#include "fixtures/geo_images.h"
#include "fixtures/temp_dir.h"
#include "zdis.h"
#include "zerr.h"
#include "zgda.h"
#include "zvis.h"

class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        zha::FaultClear();
        zha::DisplayReset();
    }

    void TearDown() override {
        zha::FaultClear();
        zha::DisplayReset();
        for (const char *kind : {"viewer", "displaylayer", "pick", "selector", "matrix", "layer", "xform", "report"}) {
            EXPECT_EQ(zha::LiveCount(kind), 0) << kind << " objects still alive after the reset";
        }
    }

    // A viewer of width x height at (0, 128); fails the test when it cannot be made.
    Zdis_ViewWindow *MakeViewer(int width = 1920, int height = 772) {
        Zerr_Report *err = nullptr;
        Zdis_ViewWindow *viewer = zdis_CreateQVBViewWindowExt(0, 1, 0, 128, width, height, &err);
        EXPECT_NE(viewer, nullptr);
        EXPECT_EQ(err, nullptr) << zha::ReportText(err);
        zerr_DeleteErrorReportEx(&err);
        return viewer;
    }

    // A viewer arranged in four panes (0, 4, 1), the geographic image open in each.
    void OpenFourPanes() {
        viewer_ = MakeViewer();
        Zerr_Report *err = nullptr;
        ASSERT_EQ(zdis_QVBViewersArrange(viewer_->qvb, 0, 4, 1, &err), 1) << TakeReport(&err);
        for (int i = 0; i < 4; ++i) layers_[i] = OpenLayer(viewer_->qvb->panes[i]);
    }

    // An 8 x 6 geographic image with 1e-4 degree pixels, top-left at 7 E 45 N.
    const zt::ImageTruth &GeographicImage() {
        if (geographic_.path.empty()) geographic_ = zt::WriteGeographicImage(dir_.File("geo.tif"));
        return geographic_;
    }

    // Opens the geographic image in pane; fails the test when it cannot.
    Zdis_Layer *OpenLayer(Zdis_ViewWindow *pane) {
        Zdis_Layer *layer = zdis_ViewWindowOpenGenericLayer(pane, "raster", GeographicImage().path.c_str());
        EXPECT_NE(layer, nullptr) << zha::LastLayerOpenError();
        return layer;
    }

    // The map position of file position (x, y) in the geographic image.
    void MapOf(double x, double y, double *mapX, double *mapY) {
        zt::ApplyGeoTransform(GeographicImage().geoTransform, x, y, mapX, mapY);
    }

    static zha::DisplayPaneInfo Pane(const Zdis_ViewWindow *pane) {
        zha::DisplayPaneInfo info;
        EXPECT_TRUE(zha::DisplayPane(pane, &info));
        return info;
    }

    // The report's text, then the report deleted; "" for none.
    static std::string TakeReport(Zerr_Report **err) {
        std::string text = *err ? zha::ReportText(*err) : "";
        zerr_DeleteErrorReportEx(err);
        return text;
    }

    zt::TempDir dir_;
    zt::ImageTruth geographic_;
    Zdis_ViewWindow *viewer_ = nullptr;  // set by OpenFourPanes
    Zdis_Layer *layers_[4] = {};
};

#endif
