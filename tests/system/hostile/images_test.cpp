// Hostile images: truncated and corrupt files refuse the start with a report
// naming the file and leave nothing behind; an image of 100,000 x 100,000
// pixels is measured without its pixels ever being read.
#include <sys/resource.h>

#include <filesystem>
#include <string>
#include <vector>

#include "automation/display_automation.h"
#include "hostile_support.h"

namespace {

using hs::Contains;

// A GeoTIFF header (either byte order) whose first directory is noise.
std::string TiffHeaderThenGarbage(bool littleEndian) {
    std::string bytes = littleEndian ? std::string("II*\0\x08\0\0\0", 8) : std::string("MM\0*\0\0\0\x08", 8);
    unsigned state = 12345;
    for (int i = 0; i < 4096; ++i) {
        state = state * 1103515245u + 12345u;
        bytes += static_cast<char>(state >> 16);
    }
    return bytes;
}

struct CorruptImage {
    const char *what;
    std::string path;
};

std::vector<CorruptImage> WriteCorruptImages(const zt::TempDir &dir) {
    std::vector<CorruptImage> images;
    for (const auto &cut : {std::make_pair("truncated to its header", 100), std::make_pair("truncated by half", -2)}) {
        const std::string path = dir.File(std::string("cut") + std::to_string(images.size()) + ".tif");
        zt::WriteGeographicImage(path);
        const auto size = std::filesystem::file_size(path);
        std::filesystem::resize_file(path, cut.second > 0 ? static_cast<uintmax_t>(cut.second) : size / 2);
        images.push_back({cut.first, path});
    }
    images.push_back({"garbage after a little-endian header",
                      hs::WriteBytes(dir, "garbage_le.tif", TiffHeaderThenGarbage(true))});
    images.push_back({"garbage after a big-endian header",
                      hs::WriteBytes(dir, "garbage_be.tif", TiffHeaderThenGarbage(false))});
    images.push_back({"an empty file", hs::WriteBytes(dir, "empty.tif", "")});
    return images;
}

TEST(HostileImages, CorruptImagesRefuseTheStartAndLeaveNothingBehind) {
    zt::ToolSession session;
    const zt::StereoPair pair = zt::WriteStereoPair(session.Dir().Path(), "pair", zt::RpcStorage::GeoTiffTag);
    for (const CorruptImage &image : WriteCorruptImages(session.Dir())) {
        // Alone (mono), and as the right image of a pair whose left one is sound.
        for (const std::vector<std::string> &files :
             {std::vector<std::string>{image.path}, std::vector<std::string>{pair.left.path, image.path}}) {
            SCOPED_TRACE(std::string(image.what) + (files.size() == 1 ? ", mono" : ", stereo"));
            const std::map<std::string, long> before = zt::LiveToolObjects();
            Zerr_Report *report = nullptr;
            EXPECT_FALSE(session.Start(files, &report));
            const std::string text = zt::TakeReport(&report);
            EXPECT_TRUE(Contains(text, "ZOT_Start")) << text;
            EXPECT_TRUE(Contains(text, image.path)) << text;
            EXPECT_EQ(nullptr, session.Record()) << "no tool stays open";
            EXPECT_EQ("", zt::LiveDifference(before, zt::LiveToolObjects()));
        }
    }
}

long PeakMegabytes() {
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

TEST(HostileImages, AHundredThousandPixelSquareImageIsMeasuredWithoutReadingItsPixels) {
    zt::ToolSession session;
    zt::ImageOptions options;
    options.width = 100000;
    options.height = 100000;
    options.pixelSize = 1e-5;  // one degree each way from 7 E 45 N
    const long peakBefore = PeakMegabytes();
    ASSERT_TRUE(session.StartMono(options));
    zha::DisplayPaneInfo pane;
    ASSERT_TRUE(zha::DisplayPane(zha::PaneOfImage(0, 0), &pane));
    ASSERT_FALSE(pane.layers.empty());
    EXPECT_EQ(100000, pane.layers.back().width);
    EXPECT_EQ(100000, pane.layers.back().height);
    const std::string points = hs::WriteBytes(session.Dir(), "corner.txt",
                                              "Corner\t44.000005\t7.999995\t100\t1\t1\tlast pixel\r\n"
                                              "Centre\t44.5\t7.5\t100\t1\t1\tmiddle\r\n");
    zha::ClearPrintedReports();
    ASSERT_TRUE(session.Call("ZOT_OpenTEFile", {points}));
    ASSERT_EQ("", hs::Printed());
    ASSERT_EQ(2, session.PointCount());
    ASSERT_TRUE(zha::ClickInImage(0, 0, 99999.5, 99999.5).delivered);
    ASSERT_TRUE(session.Call("ZOT_AcceptMeasurement"));
    ASSERT_TRUE(zha::ClickInImage(0, 1, 50000.0, 50000.0).delivered);
    ASSERT_TRUE(session.Call("ZOT_AcceptMeasurement"));
    EXPECT_NEAR(44.000005, session.Point(0)->measuredLatitude, 1e-9);
    EXPECT_NEAR(7.999995, session.Point(0)->measuredLongitude, 1e-9);
    EXPECT_NEAR(44.5, session.Point(1)->measuredLatitude, 1e-9);
    Zerr_Report *err = nullptr;
    EXPECT_TRUE(session.Call("ZOT_CreateReport", {session.Dir().File("report.txt")}, &err)) << zt::TakeReport(&err);
    // Ten gigapixels were never held: the whole run stays within a few
    // hundred megabytes of what the process had used before.
    EXPECT_LT(PeakMegabytes() - peakBefore, 256) << "megabytes";
}

}  // namespace
