// Shared set-up for the geometry tests: a tool record filled by hand (lists,
// georeferencing through GetFileToMap, a stereo block, labels and a table from a
// small UI script), report checks, and a teardown that proves the operations
// left no toolkit object alive.
#ifndef ZOT_TESTS_GEOMETRY_SUPPORT_H
#define ZOT_TESTS_GEOMETRY_SUPPORT_H

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "boundary/zot_data.h"
#include "fixtures/geo_images.h"
#include "fixtures/temp_dir.h"
#include "geometry/geometry.h"
#include "points/zot_point.h"

namespace gt {

// The printed text of a report chain ("" for none); the report is deleted.
std::string Take(Zerr_Report **report);

// Checks that *err holds a report under operation with message, whose cause is
// present (or absent) as hasCause says and, when causeOperation is given, made
// by that operation; then deletes it.
void ExpectReport(Zerr_Report **err, const std::string &operation, const std::string &message, bool hasCause,
                  const char *causeOperation = nullptr);

// A tool record as start-up leaves it, built by hand. Everything it holds is
// released by the destructor, in the order closing would.
class HandRecord {
public:
    explicit HandRecord(int imageCount = 1);
    ~HandRecord();
    HandRecord(const HandRecord &) = delete;
    HandRecord &operator=(const HandRecord &) = delete;

    ZOT_Data *get() { return &record_; }

    // The image's name, and GetFileToMap for image into fileToMap, the image
    // size and (for the first image) projection; fails the test when it reports.
    void Georeference(int image, const std::string &path);
    // Replaces the map units name (and unitsAreDegrees with it).
    void SetMapUnits(const char *units);
    // Builds the stereo block of the two images and its model information.
    void BuildBlock(const std::string &left, const std::string &right);
    // Parses a small script holding the four statistics labels, the pick-count
    // labels and a table, binding them into the record (client data: the record).
    void BindLabels(const zt::TempDir &dir);
    // The text a bound label shows.
    std::string Label(const char *name) const;

    // Appends a copy of point; returns its index.
    int Add(const ZOT_Point &point);
    ZOT_Point *Point(int index);

private:
    ZOT_Data record_{};
    Zzml_ParseResult *parse_ = nullptr;
};

// A point that counts in the statistics: every flag set, all values 0.
ZOT_Point CountedPoint();

// Live toolkit objects by kind, ignoring kinds whose count is 0.
std::map<std::string, long> LiveObjects();

class GeometryTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    zt::TempDir dir_;

private:
    std::map<std::string, long> live_;
};

}  // namespace gt

#endif
