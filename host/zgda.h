/* Small matrices of doubles. */
#ifndef ZGDA_H
#define ZGDA_H

#include "ztypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A matrix record: rows x columns doubles, row-major (element (r, c) is data[r * columns + c]). */
struct Zgda_BaseData {
    int32_t rows;
    int32_t columns;
    double *data;
};

/* A rows x columns matrix of zeros. type 10 means doubles; dimensions is 2;
 * flags 0. Null and a report on failure. Free with zgda_BaseDataDelete. */
Zgda_BaseData *zgda_BaseDataCreate(int32_t rows, int32_t columns, int32_t type, int32_t dimensions,
                                   int32_t flags, Zerr_Report **err);
/* Frees the matrix; null is accepted. Returns 1, or 0 with a report. */
int32_t zgda_BaseDataDelete(Zgda_BaseData *matrix, Zerr_Report **err);

#ifdef __cplusplus
}
#endif

#endif
