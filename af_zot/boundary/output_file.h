// Files the tool writes for the user: reports and T&E files.
#ifndef ZOT_OUTPUT_FILE_H
#define ZOT_OUTPUT_FILE_H

#include "boundary/zot_data.h"

// A file being written. A regular file, or a new one, is written to a
// temporary file beside it that replaces it only once every byte is written
// and closed: a failure (a full disk, a size limit) leaves the earlier file as
// it was and no temporary file behind. What exists and is no regular file (a
// device such as /dev/full or /dev/stdout, a FIFO), and every name under /dev
// and /proc, is written directly, each write checked.
typedef struct ZOT_OutputFile {
    Zfio_File *file;  // where the text goes; null once closed
    char *target;     // the file to replace, a symbolic link followed (heap, owned)
    char *temporary;  // the temporary file beside it; null when writing directly (heap, owned)
    bool failed;      // a write has failed: nothing more is written, and the file is not kept
} ZOT_OutputFile;

// Opens fileName for writing into *out. False when it cannot: *cause (never
// null then) holds the reason, and nothing is open or left behind.
bool OpenOutputFile(Zerr_Report **cause, const char *fileName, ZOT_OutputFile *out);

// Writes text unless a write failed before; a failure is remembered in out.
void WriteOutputText(ZOT_OutputFile *out, const char *text);

// Closes *out and releases what it holds. With keep set and every write done,
// the text takes the target's place and true is returned; otherwise the
// temporary file is removed, the target left as it was, and false returned,
// with *cause holding the reason when there is one (a failed write, close or
// rename).
bool CloseOutputFile(Zerr_Report **cause, ZOT_OutputFile *out, bool keep);

// True when fileName is, by whatever path, one of the images the tool has open.
bool IsOpenImage(const ZOT_Data *zotData, const char *fileName);

// True when both names are given and lead to the same existing file.
bool IsSameFile(const char *first, const char *second);

#endif
