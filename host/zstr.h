/* Strings and string lists. Strings handed out are heap blocks freed with
 * zmsc_HeapFree. */
#ifndef ZSTR_H
#define ZSTR_H

#include "ztypes.h"

#ifdef __cplusplus
extern "C" {
#endif

/* A heap copy of text, or null when text is null or memory is short. */
char *zstr_Duplicate(const char *text);
/* Nonzero when equal ignoring ASCII case; 0 otherwise (also when either is null). */
int32_t zstr_Eqic(const char *a, const char *b);
/* 0 when equal (case-sensitive), else the sign of the first difference; null sorts first. */
int32_t zstr_CompareString(const char *a, const char *b);
/* printf formatting. With buffer null a new heap string is returned; with a
 * buffer the text is written there (the caller guarantees room) and buffer is returned. */
char *zstr_Sprintf(char *buffer, const char *format, Zerr_Report **err, ...)
    __attribute__((format(printf, 2, 4)));
/* Occurrences of ch in text (0 for null). */
int32_t zstr_CharCount(const char *text, char ch);

/* Appends a copy of text to list; a null list starts a new one. Returns the list. */
Zstr_StringList *zstr_StringListAppend(Zstr_StringList *list, const char *text, Zerr_Report **err);
int32_t zstr_StringListCount(const Zstr_StringList *list);
/* Element index, owned by the list; null past the end. */
const char *zstr_StringListGet(const Zstr_StringList *list, int32_t index);
/* Frees the list and its strings and clears the pointer; null is accepted. */
void zstr_StringListDelete(Zstr_StringList **list, Zerr_Report **err);

#ifdef __cplusplus
}
#endif

#endif
