// Small matrices of doubles.
#include <cstdint>
#include <cstdlib>

#include "toolkit/core/instrument.h"
#include "zgda.h"

namespace {
const int32_t kTypeDouble = 10;
}

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
    double *data = static_cast<double *>(std::calloc(cells, sizeof(double)));
    if (!data) {
        zhc::Fail(err, "zgda_BaseDataCreate", __LINE__, nullptr, "Out of memory for a %d x %d matrix.", rows,
                  columns);
        return nullptr;
    }
    Zgda_BaseData *matrix = new Zgda_BaseData{rows, columns, data};
    zhc::LiveAdd("matrix");
    return matrix;
}

int32_t zgda_BaseDataDelete(Zgda_BaseData *matrix, Zerr_Report **err) {
    zhc::ClearErr(err);
    if (!matrix) return 1;
    // An injected failure still releases the matrix (see zdlm_FreeList).
    const bool injected = zhc::FaultHit("zgda_BaseDataDelete", err);
    std::free(matrix->data);
    delete matrix;
    zhc::LiveRemove("matrix");
    return injected ? 0 : 1;
}
