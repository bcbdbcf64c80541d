// The block keeps its models ready: converting more points allocates nothing
// more. Counted by replacing the global allocation functions of this test
// program.
#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "toolkit/geo/geo_test_support.h"

namespace {
std::atomic<long> allocations{0};
// Out of line, so that the compiler does not pair an inlined free() with the
// new-expressions it sees and warn about a mismatch that is not there.
[[gnu::noinline]] void Release(void *p) { std::free(p); }
}  // namespace

// Every non-aligned form is replaced, so that whatever allocates through one
// form and frees through another (as libraries do) stays consistent.
void *operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void *p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void *operator new[](std::size_t size) { return operator new(size); }
void *operator new(std::size_t size, const std::nothrow_t &) noexcept {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size ? size : 1);
}
void *operator new[](std::size_t size, const std::nothrow_t &tag) noexcept { return operator new(size, tag); }
void operator delete(void *p) noexcept { Release(p); }
void operator delete[](void *p) noexcept { Release(p); }
void operator delete(void *p, std::size_t) noexcept { Release(p); }
void operator delete[](void *p, std::size_t) noexcept { Release(p); }
void operator delete(void *p, const std::nothrow_t &) noexcept { Release(p); }
void operator delete[](void *p, const std::nothrow_t &) noexcept { Release(p); }

namespace zgt {
namespace {

class AllocationsTest : public GeoTest {};

TEST_F(AllocationsTest, ConversionsAllocateNothingPerPoint) {
    const zt::StereoPair pair = zt::WriteStereoPair(dir_.Path(), "pair", zt::RpcStorage::GeoTiffTag);
    std::string report;
    Block block = CreateBlock({pair.left.path, pair.right.path}, &report);
    ASSERT_TRUE(block) << report;
    Zpho_ModelInfo *info = zpho_BlockModelInfoGet(block.get(), nullptr);
    ASSERT_NE(nullptr, info);
    const int n = 500;
    std::vector<double> ground, left(2 * n), right(2 * n), back(3 * n);
    for (int i = 0; i < n; ++i) {
        ground.insert(ground.end(), {6.999 + 1e-5 * (i % 20), 44.999 + 1e-5 * (i / 20), 300.0 + i});
    }
    // Whatever a single call costs (the fault-injection hook's bookkeeping
    // included, whose first call per operation also makes its entry), a call
    // for n points must cost the same.
    ASSERT_NE(0, zblk_ObjectToFile(info, 1, n, ground.data(), right.data(), 1));
    ASSERT_NE(0, zblk_FileToObject(info, 0, 1, 1, left.data(), right.data(), back.data(), 1));
    auto count = [](auto &&call) {
        const long before = allocations.load();
        EXPECT_NE(0, call());
        return allocations.load() - before;
    };
    const long objectOne = count([&] { return zblk_ObjectToFile(info, 0, 1, ground.data(), left.data(), 1); });
    const long objectMany = count([&] { return zblk_ObjectToFile(info, 0, n, ground.data(), left.data(), 1); });
    const long fileOne =
        count([&] { return zblk_FileToObject(info, 0, 1, 1, left.data(), right.data(), back.data(), 1); });
    const long fileMany =
        count([&] { return zblk_FileToObject(info, 0, 1, n, left.data(), right.data(), back.data(), 1); });
    EXPECT_EQ(objectOne, objectMany);
    EXPECT_EQ(fileOne, fileMany);
    EXPECT_NEAR(ground[3 * (n - 1) + 2], back[3 * (n - 1) + 2], 1e-3);
    // The counter does count: building a block allocates.
    const long before = allocations.load();
    Block another = CreateBlock({pair.left.path, pair.right.path}, &report);
    EXPECT_GT(allocations.load(), before);
}

}  // namespace
}  // namespace zgt
