// The workspace folder's files as the page reaches them: listed, downloaded,
// and written whole.
#ifndef ZSRV_WORKSPACE_FILES_H
#define ZSRV_WORKSPACE_FILES_H

#include <string>

#include "reply.h"
#include "root_folder.h"

namespace zsrv {

// {"folder": clean path, "entries": [{"name", "folder", "size"}]}; 400 for a
// folder outside the root.
Reply ListFolder(const RootFolder &root, const std::string &folder);
// A file under the root, to download: 200 with its bytes and base name.
int ReadForDownload(const RootFolder &root, const std::string &path, std::string *bytes, std::string *name,
                    std::string *why);
// Writes text to path through a temporary file renamed into place.
bool WriteWhole(const std::string &path, const std::string &text);

}  // namespace zsrv

#endif
