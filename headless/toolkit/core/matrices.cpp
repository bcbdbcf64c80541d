// Small matrices of doubles. A matrix and its cells are one heap block (the
// cells follow the record), as callers make and free one-point matrices often.
#include <cstdint>
#include <cstdlib>
#include <new>

#include "toolkit/core/instrument.h"
#include "zgda.h"

namespace {
const int32_t kTypeDouble = 10;

// The cells of a matrix made here: right after its record.
double *CellsOf(Zgda_BaseData *matrix) { return reinterpret_cast<double *>(matrix + 1); }

static_assert(sizeof(Zgda_BaseData) % alignof(double) == 0, "the cells follow the record aligned");
}  // namespace

Zgda_BaseData *zgda_BaseDataCreate(int32_t rows, int32_t columns, int32_t type, int32_t dimensions, int32_t,
                                   Zerr_Report **err) {
    zhc::ClearErr(err);
    if (zhc::FaultHit("zgda_BaseDataCreate", err)) return nullptr;
    if (type != kTypeDouble) {
        zhc::Fail(err, "zgda_BaseDataCreate", __LINE__, nullptr, "Unsupported matrix type %d (10: doubles).",
                  type);
        return nullptr;
    }
    if (dimensions != 2 || rows < 1 || columns < 1) {
        zhc::Fail(err, "zgda_BaseDataCreate", __LINE__, nullptr,
                  "Invalid matrix shape: %d x %d in %d dimensions.", rows, columns, dimensions);
        return nullptr;
    }
    const size_t cells = static_cast<size_t>(rows) * static_cast<size_t>(columns);
    void *block = cells <= (SIZE_MAX - sizeof(Zgda_BaseData)) / sizeof(double)
                      ? std::calloc(1, sizeof(Zgda_BaseData) + cells * sizeof(double))
                      : nullptr;
    if (!block) {
        zhc::Fail(err, "zgda_BaseDataCreate", __LINE__, nullptr, "Out of memory for a %d x %d matrix.", rows,
                  columns);
        return nullptr;
    }
    Zgda_BaseData *matrix = new (block) Zgda_BaseData{rows, columns, nullptr};
    matrix->data = CellsOf(matrix);
    zhc::LiveAdd("matrix");
    return matrix;
}

int32_t zgda_BaseDataDelete(Zgda_BaseData *matrix, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (!matrix) return 1;
    // An injected failure still releases the matrix (see zdlm_FreeList).
    const bool injected = zhc::FaultHit("zgda_BaseDataDelete", err);
    // A caller may have given the matrix cells of its own heap block.
    if (matrix->data != CellsOf(matrix)) std::free(matrix->data);
    std::free(matrix);
    zhc::LiveRemove("matrix");
    return injected ? 0 : 1;
}
