// Placeholder support for operations whose work has not landed yet.
#ifndef ZOT_PENDING_COMMON_H
#define ZOT_PENDING_COMMON_H

#include "boundary/zot_data.h"

#define ZOT_NOT_IMPLEMENTED(err, operation)                                         \
    do {                                                                            \
        Zerr_Report *zotLocal_ = NULL;                                              \
        Zerr_Report **zotSlot_ = (err) ? (err) : &zotLocal_;                        \
        ZOT_REPORT(zotSlot_, (operation), NULL, "Not implemented.");                \
        zerr_DeleteErrorReportEx(&zotLocal_);                                       \
    } while (0)

#endif
