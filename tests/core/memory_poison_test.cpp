// Under AddressSanitizer the memory machinery poisons what it holds but
// nobody owns, so that a use of it is reported as for the plain heap: a small
// block's cell beyond its size and once freed, a mapped list's capacity
// beyond its elements.
#include <vector>

#include "core_test_support.h"
#include "toolkit/core/memory/enabled.h"
#include "toolkit/core/memory/poison.h"
#include "zdlm.h"
#include "zmsc.h"

namespace {

class MemoryPoisonTest : public CoreTest {
protected:
    void SetUp() override {
        CoreTest::SetUp();
        if (!zhc::kPoisoning || !zhc::kFastMemory) GTEST_SKIP() << "needs AddressSanitizer and ZOT_FAST_MEMORY";
    }
    Zerr_Report *err = nullptr;
};

TEST_F(MemoryPoisonTest, ASmallBlockIsPoisonedBeyondItsSizeAndOnceFreed) {
    std::vector<char *> blocks;
    for (size_t size : {1, 10, 16, 20, 32}) {
        char *block = static_cast<char *>(zmsc_HeapMalloc(size));
        ASSERT_NE(block, nullptr);
        EXPECT_FALSE(zhc::IsPoisoned(block + size - 1)) << size;
        if (size % 16 != 0) EXPECT_TRUE(zhc::IsPoisoned(block + size)) << size;
        blocks.push_back(block);
    }
    for (char *block : blocks) {
        zmsc_HeapFree(block);
        EXPECT_TRUE(zhc::IsPoisoned(block));
    }
}

TEST_F(MemoryPoisonTest, AMappedListIsPoisonedBeyondItsElements) {
    struct Element {
        char bytes[4096];
    };
    Zdlm_List *list = zdlm_InitList(sizeof(Element), 1, &err);
    ASSERT_NE(list, nullptr);
    static const Element element{};
    for (int i = 0; i < 300; ++i) ASSERT_EQ(zdlm_Add(list, &element, &err), 1);  // 1.2 MiB: a mapping
    const char *last = static_cast<const char *>(zdlm_GetAddr(list, 299, &err));
    EXPECT_FALSE(zhc::IsPoisoned(last + sizeof(Element) - 1));
    EXPECT_TRUE(zhc::IsPoisoned(last + sizeof(Element)));
    ASSERT_EQ(zdlm_Delete(list, 0, &err), 1);
    EXPECT_TRUE(zhc::IsPoisoned(last));
    ASSERT_EQ(zdlm_Add(list, &element, &err), 1);
    EXPECT_FALSE(zhc::IsPoisoned(last));
    zdlm_FreeList(&list, &err);
}

}  // namespace
