// A base for the geometry toolkit's tests: a temporary folder per test, no
// armed fault at the start, and a check at the end that the test released
// every toolkit object it was handed. Owners free handles on every path, so an
// early ASSERT leaks nothing.
#ifndef ZT_GEO_TEST_SUPPORT_H
#define ZT_GEO_TEST_SUPPORT_H

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "automation/automation_core.h"
#include "fixtures/geo_images.h"
#include "fixtures/temp_dir.h"
#include "zblk.h"
#include "zerr.h"
#include "zgda.h"
#include "zimg.h"
#include "zint.h"
#include "zmsc.h"
#include "zpho.h"
#include "zprj.h"
#include "zstr.h"
#include "zxfr.h"

namespace zgt {

struct LayerCloser {
    void operator()(Zimg_Layer *layer) const { zimg_LayerClose(layer, nullptr); }
};
struct XFormFreer {
    void operator()(Zxfr_XForm *xform) const { zxfr_XFormFree(&xform, nullptr); }
};
struct ProjectionFreer {
    void operator()(Zprj_Projection *projection) const { zprj_ProjectionFree(&projection); }
};
struct ParametersFreer {
    void operator()(Zprj_ProParameters *parameters) const { zprj_ProParametersFree(&parameters); }
};
struct BlockFreer {
    void operator()(Zpho_BlockData *data) const { zpho_BlockDataFree(&data, nullptr); }
};
struct ListFreer {
    void operator()(Zstr_StringList *list) const { zstr_StringListDelete(&list, nullptr); }
};
struct HeapFreer {
    void operator()(char *text) const { zmsc_HeapFree(text); }
};
using Layer = std::unique_ptr<Zimg_Layer, LayerCloser>;
using XForm = std::unique_ptr<Zxfr_XForm, XFormFreer>;
using Projection = std::unique_ptr<Zprj_Projection, ProjectionFreer>;
using Parameters = std::unique_ptr<Zprj_ProParameters, ParametersFreer>;
using Block = std::unique_ptr<Zpho_BlockData, BlockFreer>;
using List = std::unique_ptr<Zstr_StringList, ListFreer>;
using Text = std::unique_ptr<char, HeapFreer>;

// The report chain's text as zha::ReportText gives it ("" for none); the
// report is deleted.
inline std::string Take(Zerr_Report *&report) {
    const std::string text = report ? zha::ReportText(report) : std::string();
    zerr_DeleteErrorReportEx(&report);
    return text;
}

// Whether text holds part, with both shown when it does not.
inline ::testing::AssertionResult Contains(const std::string &text, const std::string &part) {
    if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "\"" << text << "\" does not contain \"" << part << "\"";
}

// What zimg_LayerMapInformationRead gave for a file's first layer.
struct MapInformation {
    std::string projectionName;
    std::string unitsName;
    XForm mapToFile;
    std::string report;  // "" on success
};

class GeoTest : public ::testing::Test {
protected:
    void SetUp() override {
        zha::FaultClear();
        before_ = zha::LiveCounts();
    }
    void TearDown() override {
        zha::FaultClear();
        EXPECT_EQ(before_, zha::LiveCounts()) << "the test left toolkit objects alive";
    }

    std::string File(const std::string &name) const { return dir_.File(name); }

    // Opens layer name (option 3); null and a test failure when it does not open.
    static Layer Open(const std::string &name) {
        Zerr_Report *err = nullptr;
        Layer layer(zimg_LayerOpen(name.c_str(), zint_GetInit(), &err, 3, 0));
        EXPECT_TRUE(layer) << Take(err);
        Take(err);
        return layer;
    }

    // The map information of fileName's first layer (band 1).
    static MapInformation ReadMapInformation(const std::string &fileName) {
        MapInformation info;
        Layer layer = Open(fileName + ":1");
        if (!layer) return info;
        char *projection = nullptr, *units = nullptr;
        Zxfr_XForm *mapToFile = nullptr;
        Zerr_Report *err = nullptr;
        zimg_LayerMapInformationRead(layer.get(), &projection, &units, &mapToFile, &err);
        info.report = Take(err);
        info.projectionName = projection ? projection : "";
        info.unitsName = units ? units : "";
        info.mapToFile.reset(mapToFile);
        zmsc_HeapFree(projection);
        zmsc_HeapFree(units);
        return info;
    }

    // The file-to-map transform of fileName's first layer: the inverse of its
    // map-to-file transform, as the tool makes it. Null and a test failure on error.
    static XForm FileToMap(const std::string &fileName) {
        MapInformation info = ReadMapInformation(fileName);
        EXPECT_EQ("", info.report);
        if (!info.mapToFile) return nullptr;
        Zerr_Report *err = nullptr;
        XForm inverse(zxfr_XFormInvert(info.mapToFile.get(), 0, &err));
        EXPECT_TRUE(inverse) << Take(err);
        Take(err);
        return inverse;
    }

    // The map projection of fileName's first layer.
    static Projection ReadProjection(const std::string &fileName) {
        Layer layer = Open(fileName + ":1");
        if (!layer) return nullptr;
        Zprj_Projection *projection = nullptr;
        Zerr_Report *err = nullptr;
        EXPECT_EQ(1, zimg_LayerMapProjectionRead(layer.get(), &projection, &err)) << Take(err);
        Take(err);
        return Projection(projection);
    }

    static Zprj_ProParameters *ParametersOf(const Projection &projection) {
        return static_cast<Zprj_ProParameters *>(zprj_MapProjectionCSRGet(projection.get(), "Zprj_ProParameters"));
    }

    // A block of the files with the "NITF RPC" model, as the tool asks for it;
    // null with the report in *report when it is refused.
    static Block CreateBlock(const std::vector<std::string> &files, std::string *report,
                             const Zprj_ProParameters *parameters = nullptr) {
        Zstr_StringList *names = nullptr;
        for (const std::string &f : files) names = zstr_StringListAppend(names, f.c_str(), nullptr);
        List owned(names);
        Zerr_Report *err = nullptr;
        Block block(zpho_BlockCreateFromImages(0, "dd", "meters", "dd", parameters, "NITF RPC", 0, names, 0, &err));
        *report = Take(err);
        return block;
    }

    zt::TempDir dir_;

private:
    std::map<std::string, long> before_;
};

}  // namespace zgt

#endif
