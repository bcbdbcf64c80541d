// Parsing the UI script and the image-selection frame: ZOT_SelectImages as the
// host calls it, and ParseZML on its own where the record's fields tell more.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <fstream>
#include <sstream>

#include "boundary/boundary.h"
#include "boundary_test_support.h"

namespace {

using bt::Chain;
using bt::TakeChain;

// The eleven parts in the order they are looked up, with the record field of each.
struct PartField {
    const char *name;
    Zzml_Part *ZOT_Data::*field;
    bool topLevel;
};
const PartField kParts[] = {
    {"af_zotframe", &ZOT_Data::frame, true},
    {"af_zotselectimages", &ZOT_Data::selectImagesFrame, true},
    {"reportfilename", &ZOT_Data::reportFileNamePart, true},
    {"unitstoggle", &ZOT_Data::unitsToggle, false},
    {"avgce", &ZOT_Data::avgCELabel, false},
    {"avgle", &ZOT_Data::avgLELabel, false},
    {"ce90", &ZOT_Data::ce90Label, false},
    {"le90", &ZOT_Data::le90Label, false},
    {"leftcount", &ZOT_Data::leftCountLabel, false},
    {"rightcount", &ZOT_Data::rightCountLabel, false},
    {"dataarray", &ZOT_Data::dataArray, false},
};
const int kPartCount = sizeof kParts / sizeof kParts[0];

std::string ReadText(const std::string &path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The script with the declaration of part name ("label avgce ...") renamed to
// name_renamed; the script unchanged when it declares no such part.
std::string RenameDeclaration(const std::string &script, const std::string &name) {
    auto isNameChar = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    for (const char *keyword : {"frame ", "filequery ", "toggle ", "label ", "cellarray "}) {
        std::string declaration = keyword + name;
        for (size_t at = script.find(declaration); at != std::string::npos; at = script.find(declaration, at + 1)) {
            size_t end = at + declaration.size();
            bool wordStart = at == 0 || !isNameChar(script[at - 1]);
            bool wordEnd = end == script.size() || !isNameChar(script[end]);
            if (wordStart && wordEnd) return script.substr(0, end) + "_renamed" + script.substr(end);
        }
    }
    return script;
}

class ParseTest : public bt::BoundaryTest {
protected:
    // Writes the tool's script, edited, as af_zot.zml in the test's UI folder.
    void UseScript(const std::string &text) {
        std::ofstream(Session().Dir().File("af_zot.zml")) << text;
        zha::SetUiDir(Session().Dir().Path());
    }

    static bool FrameShown(const std::string &frame) {
        std::vector<std::string> shown = zha::FramesShown();
        return std::find(shown.begin(), shown.end(), frame) != shown.end();
    }

    // Runs ZOT_SelectImages as the host does; returns its report chain.
    std::vector<std::string> SelectImagesChain() {
        Zerr_Report *err = nullptr;
        Session().SelectImages(&err);
        return TakeChain(&err);
    }

    // A zero-filled record from the host heap, as start-up makes one.
    static ZOT_Data *HeapRecord() {
        ZOT_Data *record = static_cast<ZOT_Data *>(zmsc_HeapMalloc(sizeof(ZOT_Data)));
        std::memset(record, 0, sizeof(ZOT_Data));
        return record;
    }
};

TEST_F(ParseTest, SelectImagesShowsTheSelectionFrameWithAFreshRecordBoundToTheScript) {
    Zerr_Report *err = nullptr;
    ASSERT_TRUE(Session().SelectImages(&err)) << zt::TakeReport(&err);
    EXPECT_TRUE(FrameShown("af_zotselectimages"));
    EXPECT_FALSE(FrameShown("af_zotframe"));

    ZOT_Data *record = Record();
    ASSERT_NE(record, nullptr);
    EXPECT_NE(record->parseResult, nullptr);
    for (const PartField &part : kParts) {
        EXPECT_EQ(record->*part.field, zha::FindPart(part.name)) << part.name;
        EXPECT_NE(record->*part.field, nullptr) << part.name;
    }
    // The record is the client data of every part of the parse, buttons included.
    EXPECT_EQ(zha::PartClientData(zha::FindPart("start")), record);
    // Nothing else is set before the images are named.
    EXPECT_EQ(record->imageCount, 0);
    EXPECT_EQ(record->imageFileName[0], nullptr);
    EXPECT_EQ(record->pointList, nullptr);
    EXPECT_EQ(record->toolSet, nullptr);
    EXPECT_EQ(record->pickMode, 0);
    EXPECT_EQ(record->teColor[0], 0.0);

    Session().Close();
    ExpectNothingAlive();
}

// Each of the eleven lookups failing in turn: the parse stops there, and the
// selection frame is never shown.
TEST_F(ParseTest, EachPartLookupThatFailsStopsThePartsAfterIt) {
    for (int index = 0; index < kPartCount; ++index) {
        const PartField &part = kParts[index];
        SCOPED_TRACE(part.name);
        zha::FaultClear();
        const char *operation = part.topLevel ? "zzml_PartFind" : "zzml_FrameFindPart";
        int nth = part.topLevel ? index + 1 : index - 2;
        zha::FaultInject(operation, nth);

        std::vector<std::string> chain = SelectImagesChain();
        ASSERT_EQ(chain.size(), 3u);
        EXPECT_EQ(chain[0], "ZOT_SelectImages: Error setting up zml");
        EXPECT_EQ(chain[1], "ParseZML: Error finding zml part");
        EXPECT_EQ(chain[2], std::string(operation) + ": Injected failure.");
        EXPECT_EQ(zha::FaultCalls(operation), nth) << "a lookup ran after the failing one";
        EXPECT_EQ(zha::FaultCalls("zzml_PartFind"), part.topLevel ? nth : 3);
        EXPECT_EQ(zha::FaultCalls("zzml_FrameFindPart"), part.topLevel ? 0 : nth);
        EXPECT_FALSE(FrameShown("af_zotselectimages"));
        ExpectNothingAlive();
    }
}

// A script that lacks parts fails at the first one missing in lookup order:
// with parts i to 10 renamed away, the report names part i.
TEST_F(ParseTest, ScriptMissingPartsFailsAtTheFirstInLookupOrder) {
    const std::string original = ReadText(ZOT_SOURCE_DIR "/ui/af_zot.zml");
    ASSERT_FALSE(original.empty());
    for (int first = 0; first < kPartCount; ++first) {
        SCOPED_TRACE(kParts[first].name);
        std::string script = original;
        for (int index = first; index < kPartCount; ++index) {
            std::string renamed = RenameDeclaration(script, kParts[index].name);
            ASSERT_NE(renamed, script) << "no declaration of " << kParts[index].name << " in the script";
            script = renamed;
        }
        UseScript(script);

        std::vector<std::string> chain = SelectImagesChain();
        ASSERT_EQ(chain.size(), 3u);
        EXPECT_EQ(chain[0], "ZOT_SelectImages: Error setting up zml");
        EXPECT_EQ(chain[1], "ParseZML: Error finding zml part");
        EXPECT_NE(chain[2].find(std::string("\"") + kParts[first].name + "\""), std::string::npos) << chain[2];
        ExpectNothingAlive();
    }
}

TEST_F(ParseTest, ScriptWithASyntaxErrorIsReportedWithTheParsersReport) {
    UseScript("frame af_zotframe \"ZOT Tool\" {\n    label avgce\n    button\n}\n");
    std::vector<std::string> chain = SelectImagesChain();
    ASSERT_EQ(chain.size(), 3u);
    EXPECT_EQ(chain[0], "ZOT_SelectImages: Error setting up zml");
    EXPECT_EQ(chain[1], "ParseZML: Error parsing af_zot.zml");
    EXPECT_EQ(chain[2].rfind("zzml_ParseVa: ", 0), 0u) << chain[2];
    EXPECT_NE(chain[2].find("af_zot.zml"), std::string::npos) << chain[2];
    ExpectNothingAlive();
}

TEST_F(ParseTest, SelectionFrameThatCannotBeShownReleasesTheRecordAndParse) {
    zha::FaultInject("zzml_FrameDisplay", 1);
    std::vector<std::string> chain = SelectImagesChain();
    ASSERT_EQ(chain.size(), 2u);
    EXPECT_EQ(chain[0], "ZOT_SelectImages: Error displaying frame");
    EXPECT_EQ(chain[1], "zzml_FrameDisplay: Injected failure.");
    ExpectNothingAlive();
}

TEST_F(ParseTest, RecordThatCannotBeAllocatedIsReported) {
    zha::FaultInject("zmsc_HeapMalloc", 1);
    std::vector<std::string> chain = SelectImagesChain();
    ASSERT_EQ(chain.size(), 1u);
    EXPECT_EQ(chain[0], "ZOT_SelectImages: Error allocating the tool record.");
    EXPECT_EQ(zha::FaultCalls("zzml_ParseVa"), 0);
    ExpectNothingAlive();
}

TEST_F(ParseTest, ParseWithoutARecordIsRefused) {
    Zerr_Report *err = nullptr;
    ParseZML(&err, nullptr);
    std::vector<std::string> chain = TakeChain(&err);
    ASSERT_EQ(chain.size(), 1u);
    EXPECT_EQ(chain[0], "ParseZML: zotData is NULL.");
    EXPECT_EQ(zha::FaultCalls("zzml_ParseVa"), 0);
}

TEST_F(ParseTest, PartsFoundBeforeAFailedLookupStayInTheRecord) {
    ZOT_Data *record = HeapRecord();
    zha::FaultInject("zzml_FrameFindPart", 3);
    Zerr_Report *err = nullptr;
    ParseZML(&err, record);
    EXPECT_EQ(Chain(err).at(1), "zzml_FrameFindPart: Injected failure.");
    zerr_DeleteErrorReportEx(&err);
    for (int index = 0; index < kPartCount; ++index) {
        bool found = index < 5;  // the three frames, "unitstoggle" and "avgce"
        EXPECT_EQ(record->*kParts[index].field != nullptr, found) << kParts[index].name;
    }
    EXPECT_EQ(zha::PartClientData(record->frame), record);
    FreeToolRecord(&record);
    EXPECT_EQ(record, nullptr);
    ExpectNothingAlive();
}

TEST_F(ParseTest, ParseWithoutAnErrorSlotStillBindsTheParts) {
    ZOT_Data *record = HeapRecord();
    ParseZML(nullptr, record);
    EXPECT_NE(record->dataArray, nullptr);
    FreeToolRecord(&record);
    ExpectNothingAlive();
}

}  // namespace
