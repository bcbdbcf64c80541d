// `zot-host assess REPORT [--html FILE] [--json FILE] [--csv FILE]
// [--geojson FILE] [--crs CRS]` as a function.
#ifndef ZASSESS_ASSESS_COMMAND_H
#define ZASSESS_ASSESS_COMMAND_H

#include <ostream>
#include <string>

namespace zassess {

// Runs the command on the words after "assess": reads the condensed report,
// prints the text summary to out and writes the files asked for, each to a
// temporary file renamed into place. Returns 0 on success, 1 when the report
// cannot be read or a file cannot be written, 2 for a wrong command line
// (messages go to err).
int RunAssessCommand(int argc, char **argv, std::ostream &out, std::ostream &err);

// Writes text to a temporary file beside path and renames it over path only
// when every byte was written; a path that is no regular file (/dev/stdout)
// is written directly.
bool WriteFileAtomically(const std::string &path, const std::string &text, std::string *error);

// The text `zot-host assess --help` prints.
std::string AssessHelp();

}  // namespace zassess

#endif
