/* Plain text helpers. */
#ifndef ZTXT_H
#define ZTXT_H

#include "ztypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* 0 when equal, as strcmp; null compares unequal to any text. */
int32_t ztxt_Text_strcmp(const char *a, const char *b);
/* Formats into a buffer of 256 characters, cut to fit. Returns the length written. */
int32_t ztxt_Text_sprintf(char *buffer, const char *format, ...) __attribute__((format(printf, 2, 3)));

#ifdef __cplusplus
}
#endif

#endif
