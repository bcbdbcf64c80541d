/* Text files. */
#ifndef ZFIO_H
#define ZFIO_H

#include "ztypes.h"

#ifdef __cplusplus
extern "C" {
#endif

#define ZFIO_NAME_BUFFER 256

/* Opens name with an fopen mode ("w+" creates or empties). Null and a report on failure.
 * With "w" or "w+" the text takes the place of what name held only at zfio_Close,
 * once every byte is written. */
Zfio_File *zfio_Open(const char *name, const char *mode, Zerr_Report **err);
/* Appends formatted text. Returns the count written, or a negative value when
 * the write failed (the failure is also remembered and reported by zfio_Close). */
int32_t zfio_Fprintf(Zfio_File *file, const char *format, ...) __attribute__((format(printf, 2, 3)));
/* Flushes and closes the file and frees the handle. Returns 1, or 0 with a report
 * when any earlier write or the close failed. */
int32_t zfio_Close(Zfio_File *file, Zerr_Report **err);
/* Closes the file and frees the handle without keeping what was written: a
 * file opened with "w" or "w+" stays as it was before zfio_Open. Returns 1, or 0
 * with a report. */
int32_t zfio_Discard(Zfio_File *file, Zerr_Report **err);
/* Writes one part of path into buffer (ZFIO_NAME_BUFFER characters, always NUL
 * terminated, never overflowed). Part 1: folder; 2: name without extension;
 * 3: extension; 4: name with its extension. Returns 1, or 0 with a report. */
int32_t zfio_FileNameParse(const char *path, Zerr_Report **err, int32_t part, char *buffer);

#ifdef __cplusplus
}
#endif

#endif
