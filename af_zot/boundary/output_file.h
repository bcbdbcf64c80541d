// Files the tool writes for the user: reports and T&E files.
#ifndef ZOT_OUTPUT_FILE_H
#define ZOT_OUTPUT_FILE_H

#include "boundary/zot_data.h"

// A file being written, through the toolkit's replacing write ("w+"): the
// text takes the file's place only at a successful close with keep set.
typedef struct ZOT_OutputFile {
    Zfio_File *file;  // where the text goes; null once closed
    bool failed;      // a write has failed: nothing more is written, and the file is not kept
} ZOT_OutputFile;

// Opens fileName for writing into *out. False when it cannot: *cause (never
// null then) holds the reason, and nothing is open or left behind.
bool OpenOutputFile(Zerr_Report **cause, const char *fileName, ZOT_OutputFile *out);

// Writes text unless a write failed before; a failure is remembered in out.
void WriteOutputText(ZOT_OutputFile *out, const char *text);

// Closes *out and releases what it holds. With keep set and every write done,
// the text takes the file's place and true is returned; otherwise the file is
// left as it was and false returned, with *cause holding the reason when there
// is one (a failed write, close or rename).
bool CloseOutputFile(Zerr_Report **cause, ZOT_OutputFile *out, bool keep);

// True when fileName is, by whatever path, one of the images the tool has open.
bool IsOpenImage(const ZOT_Data *zotData, const char *fileName);

// True when both names are given and lead to the same existing file.
bool IsSameFile(const char *first, const char *second);

#endif
