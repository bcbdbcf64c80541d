// Strings, string lists, text helpers and the heap.
#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core_test_support.h"
#include "zerr.h"
#include "zmsc.h"
#include "zstr.h"
#include "ztxt.h"

using CoreStringsTest = CoreTest;

TEST_F(CoreStringsTest, DuplicatesAndFormattedTextsAreHeapBlocks) {
    char *copy = zstr_Duplicate("T&E point");
    ASSERT_NE(nullptr, copy);
    EXPECT_STREQ("T&E point", copy);
    EXPECT_EQ(nullptr, zstr_Duplicate(nullptr));
    Zerr_Report *err = nullptr;
    char *formatted = zstr_Sprintf(nullptr, "%s %05.1f %d", &err, "ce", 3.14159, -2);
    ASSERT_NE(nullptr, formatted);
    EXPECT_STREQ("ce 003.1 -2", formatted);
    const std::string big(3000, 'z');
    char *large = zstr_Sprintf(nullptr, "[%s]", &err, big.c_str());
    EXPECT_EQ("[" + big + "]", large);
    EXPECT_EQ(3, zha::LiveCount("heap"));
    zmsc_HeapFree(copy);
    zmsc_HeapFree(formatted);
    zmsc_HeapFree(large);
    zmsc_HeapFree(nullptr);
    EXPECT_EQ(0, zha::LiveCount("heap"));

    char buffer[32];
    EXPECT_EQ(buffer, zstr_Sprintf(buffer, "%d:%s", &err, 12, "ab"));
    EXPECT_STREQ("12:ab", buffer);
    EXPECT_EQ(nullptr, err);
    EXPECT_EQ(nullptr, zstr_Sprintf(nullptr, nullptr, &err));
    EXPECT_NE(nullptr, err);
    zerr_DeleteErrorReportEx(&err);
}

TEST_F(CoreStringsTest, ComparisonsFollowTheirOwnRules) {
    EXPECT_NE(0, zstr_Eqic("Meters", "mETERS"));
    EXPECT_EQ(0, zstr_Eqic("Meter", "Meters"));
    EXPECT_EQ(0, zstr_Eqic("Meters", nullptr));
    EXPECT_EQ(0, zstr_Eqic(nullptr, nullptr));

    EXPECT_EQ(0, zstr_CompareString("abc", "abc"));
    EXPECT_EQ(-1, zstr_CompareString("abc", "abd"));
    EXPECT_EQ(1, zstr_CompareString("b", "abc"));
    EXPECT_EQ(-1, zstr_CompareString("ABC", "ABc"));  // case counts
    EXPECT_EQ(-1, zstr_CompareString(nullptr, ""));
    EXPECT_EQ(0, zstr_CompareString(nullptr, nullptr));

    EXPECT_EQ(0, ztxt_Text_strcmp("pointcreate", "pointcreate"));
    EXPECT_NE(0, ztxt_Text_strcmp("pointcreate", "pointselect"));
    EXPECT_NE(0, ztxt_Text_strcmp("x", nullptr));
    EXPECT_NE(0, ztxt_Text_strcmp(nullptr, ""));

    EXPECT_EQ(3, zstr_CharCount("a\tb\tc\t", '\t'));
    EXPECT_EQ(0, zstr_CharCount("abc", ':'));
    EXPECT_EQ(0, zstr_CharCount(nullptr, 'a'));
}

TEST_F(CoreStringsTest, FixedBufferFormattingIsCutToFit) {
    char buffer[256 + 8];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(9, ztxt_Text_sprintf(buffer, "Tools %03d", 7));
    EXPECT_STREQ("Tools 007", buffer);
    const std::string longText(1000, 'w');
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(255, ztxt_Text_sprintf(buffer, "%s", longText.c_str()));
    EXPECT_EQ(std::string(255, 'w'), buffer);
    EXPECT_EQ('#', buffer[256]);  // nothing past the 256 characters
    EXPECT_EQ(0, ztxt_Text_sprintf(nullptr, "%d", 1));
}

TEST_F(CoreStringsTest, StringListsHoldCopies) {
    Zerr_Report *err = nullptr;
    std::string text = "left.tif";
    Zstr_StringList *list = zstr_StringListAppend(nullptr, text.c_str(), &err);
    ASSERT_NE(nullptr, list);
    text = "changed";
    EXPECT_EQ(list, zstr_StringListAppend(list, "right.tif", &err));
    EXPECT_EQ(list, zstr_StringListAppend(list, "", &err));
    EXPECT_EQ(3, zstr_StringListCount(list));
    EXPECT_STREQ("left.tif", zstr_StringListGet(list, 0));
    EXPECT_STREQ("right.tif", zstr_StringListGet(list, 1));
    EXPECT_STREQ("", zstr_StringListGet(list, 2));
    EXPECT_EQ(nullptr, zstr_StringListGet(list, 3));
    EXPECT_EQ(nullptr, zstr_StringListGet(list, -1));
    EXPECT_EQ(1, zha::LiveCount("stringlist"));

    EXPECT_EQ(list, zstr_StringListAppend(list, nullptr, &err));
    EXPECT_NE(nullptr, err);
    zerr_DeleteErrorReportEx(&err);
    EXPECT_EQ(3, zstr_StringListCount(list));

    zstr_StringListDelete(&list, &err);
    EXPECT_EQ(nullptr, list);
    EXPECT_EQ(0, zstr_StringListCount(nullptr));
    zstr_StringListDelete(&list, &err);
}

TEST_F(CoreStringsTest, HeapBlocksAreUsableAndTheMarkerTableIsStable) {
    unsigned char *block = static_cast<unsigned char *>(zmsc_HeapMalloc(100));
    ASSERT_NE(nullptr, block);
    std::memset(block, 0xab, 100);
    void *empty = zmsc_HeapMalloc(0);
    EXPECT_NE(nullptr, empty);
    zmsc_HeapFree(empty);
    zmsc_HeapFree(block);
    EXPECT_NE(nullptr, zmsc_AddressOf_vselGCPMethods());
    EXPECT_EQ(zmsc_AddressOf_vselGCPMethods(), zmsc_AddressOf_vselGCPMethods());
}

// Texts by the hundred thousand, of every small size and a few larger, freed
// in any order and from two threads at once, keep their bytes and their count.
TEST_F(CoreStringsTest, ManySmallTextsKeepTheirBytesWhateverOrderTheyAreFreedIn) {
    const long before = zha::LiveCount("heap");
    auto churn = [](unsigned seed, std::vector<std::string> *failures) {
        std::mt19937 random(seed);
        std::vector<std::pair<char *, std::string>> held;
        for (int round = 0; round < 4; ++round) {
            for (int i = 0; i < 30000; ++i) {
                const std::string text(random() % 40, static_cast<char>('a' + random() % 26));
                held.emplace_back(zstr_Duplicate(text.c_str()), text);
            }
            std::shuffle(held.begin(), held.end(), random);
            for (size_t i = 0; i < held.size() / 2; ++i) {
                if (held[i].second != held[i].first) failures->push_back(held[i].second);
                zmsc_HeapFree(held[i].first);
            }
            held.erase(held.begin(), held.begin() + static_cast<long>(held.size() / 2));
        }
        for (auto &[block, text] : held) {
            if (text != block) failures->push_back(text);
            zmsc_HeapFree(block);
        }
    };
    std::vector<std::string> first, second;
    std::thread other(churn, 2u, &second);
    churn(1u, &first);
    other.join();
    EXPECT_TRUE(first.empty() && second.empty()) << first.size() + second.size() << " texts changed";
    EXPECT_EQ(before, zha::LiveCount("heap"));
}
