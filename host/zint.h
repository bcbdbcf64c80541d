/* The toolkit context. */
#ifndef ZINT_H
#define ZINT_H

#include "ztypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The process-wide toolkit context for projection and layer calls (never null). */
Zint_Context *zint_GetInit(void);

#ifdef __cplusplus
}
#endif

#endif
