// Objects of one kind made in place in chunks of cells (no heap block each),
// linked in creation order and recognised by address. Chunks double up to
// 2 MiB; a chunk whose cells are all free goes back to the heap. Meant for objects made by the hundred thousand.
// Free cells are poisoned for AddressSanitizer.
#ifndef ZHC_MEMORY_OBJECT_POOL_H
#define ZHC_MEMORY_OBJECT_POOL_H

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#include "toolkit/core/memory/poison.h"

namespace zhc {

template <typename T>
class ObjectPool {
public:
    ObjectPool() = default;
    ObjectPool(const ObjectPool &) = delete;
    ObjectPool &operator=(const ObjectPool &) = delete;
    ~ObjectPool() {
        while (newest_ != nullptr) Free(Object(newest_));
    }

    // A new object made by its default constructor (T must give every member
    // a value), the newest; null when memory is short.
    T *Add() {
        if (free_ == nullptr && !Grow()) return nullptr;
        Cell *cell = free_;
        Unlink(&free_, nullptr, cell);
        Unpoison(cell->storage, sizeof cell->storage);
        new (cell->storage) T;  // every member has its own initialiser
        cell->live = true;
        cell->older = newest_;
        cell->newer = nullptr;
        (newest_ ? newest_->newer : oldest_) = cell;
        newest_ = cell;
        ++ChunkOf(cell)->live;
        ++live_;
        return Object(cell);
    }
    bool Contains(const T *object) const { return LiveCell(object) != nullptr; }
    // Destroys a live object; false when object is not one.
    bool Free(const T *object) {
        Cell *cell = LiveCell(object);
        if (cell == nullptr) return false;
        if (recent_ == cell) recent_ = nullptr;
        Unlink(&oldest_, &newest_, cell);
        Object(cell)->~T();
        Poison(cell->storage, sizeof cell->storage);
        cell->live = false;
        --live_;
        Chunk *chunk = ChunkOf(cell);
        cell->older = nullptr;
        cell->newer = free_;
        if (free_) free_->older = cell;
        free_ = cell;
        if (--chunk->live == 0) Release(chunk);
        return true;
    }
    // Every live object, oldest first.
    std::vector<T *> All() const {
        std::vector<T *> all;
        all.reserve(live_);
        for (Cell *cell = oldest_; cell != nullptr; cell = cell->newer) all.push_back(Object(cell));
        return all;
    }
    bool Empty() const { return live_ == 0; }

private:
    // A live cell is in the creation-ordered chain, a free one in the free
    // chain (through the same two links).
    struct Cell {
        alignas(T) unsigned char storage[sizeof(T)];
        Cell *older;
        Cell *newer;
        bool live;
    };
    struct Chunk {
        Cell *cells;
        size_t count;
        size_t live;
    };

    static T *Object(Cell *cell) { return std::launder(reinterpret_cast<T *>(cell->storage)); }

    // Takes cell out of the chain from *first (to *last when given).
    static void Unlink(Cell **first, Cell **last, Cell *cell) {
        (cell->older ? cell->older->newer : *first) = cell->newer;
        if (cell->newer) {
            cell->newer->older = cell->older;
        } else if (last) {
            *last = cell->older;
        }
    }

    Chunk *ChunkOf(const void *address) const {
        const uintptr_t a = reinterpret_cast<uintptr_t>(address);
        auto after = std::upper_bound(chunks_.begin(), chunks_.end(), a, [](uintptr_t value, const Chunk &chunk) {
            return value < reinterpret_cast<uintptr_t>(chunk.cells);
        });
        if (after == chunks_.begin()) return nullptr;
        const Chunk &chunk = *(after - 1);
        if (a >= reinterpret_cast<uintptr_t>(chunk.cells + chunk.count)) return nullptr;
        return const_cast<Chunk *>(&chunk);
    }

    Cell *LiveCell(const T *object) const {
        if (object == nullptr) return nullptr;
        if (recent_ != nullptr && Object(recent_) == object) return recent_;
        const Chunk *chunk = ChunkOf(object);
        if (chunk == nullptr) return nullptr;
        const uintptr_t offset = reinterpret_cast<uintptr_t>(object) - reinterpret_cast<uintptr_t>(chunk->cells);
        if (offset % sizeof(Cell) != 0) return nullptr;
        Cell *cell = chunk->cells + offset / sizeof(Cell);
        if (!cell->live) return nullptr;
        recent_ = cell;
        return cell;
    }

    // A new chunk, twice the cells of the last up to 2 MiB, its cells free.
    bool Grow() {
        const size_t cells = std::min(nextCells_, kLargestChunk / sizeof(Cell));
        void *block = std::malloc(cells * sizeof(Cell));
        if (block == nullptr) return false;
        Chunk chunk{static_cast<Cell *>(block), cells, 0};
        auto at = std::upper_bound(chunks_.begin(), chunks_.end(), chunk, [](const Chunk &a, const Chunk &b) {
            return a.cells < b.cells;
        });
        chunks_.insert(at, chunk);
        for (size_t i = cells; i-- > 0;) {
            Cell *cell = chunk.cells + i;
            Poison(cell->storage, sizeof cell->storage);
            cell->live = false;
            cell->older = nullptr;
            cell->newer = free_;
            if (free_) free_->older = cell;
            free_ = cell;
        }
        nextCells_ = cells * 2;
        return true;
    }

    // Gives back a chunk none of whose cells lives.
    void Release(Chunk *chunk) {
        for (size_t i = 0; i < chunk->count; ++i) Unlink(&free_, nullptr, chunk->cells + i);
        Unpoison(chunk->cells, chunk->count * sizeof(Cell));
        std::free(chunk->cells);
        chunks_.erase(chunks_.begin() + (chunk - chunks_.data()));
        if (chunks_.empty()) nextCells_ = kFirstCells;
    }

    static constexpr size_t kFirstCells = 64;
    static constexpr size_t kLargestChunk = size_t{2} << 20;
    std::vector<Chunk> chunks_;  // by address
    Cell *oldest_ = nullptr;
    Cell *newest_ = nullptr;
    Cell *free_ = nullptr;
    size_t live_ = 0;
    size_t nextCells_ = kFirstCells;
    // The cell found last: callers make several calls on one object in a row.
    mutable Cell *recent_ = nullptr;
};

}  // namespace zhc

#endif
