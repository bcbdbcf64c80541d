// Shared by the hostile-input tests: files of any bytes, what the tool printed,
// and sessions run in this process against the module.
#ifndef ZT_HOSTILE_SUPPORT_H
#define ZT_HOSTILE_SUPPORT_H

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "automation/automation_core.h"
#include "fixtures/files.h"
#include "fixtures/tool.h"
#include "fixtures/tool_test.h"
#include "session/session.h"

namespace hs {

inline bool Contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

// Writes bytes as dir/name and returns the path; fails the test when it cannot.
inline std::string WriteBytes(const zt::TempDir &dir, const std::string &name, const std::string &bytes) {
    const std::string path = dir.File(name);
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    EXPECT_TRUE(out.good()) << "cannot write " << path;
    return path;
}

// Every report the tool printed since the log was last cleared.
inline std::string Printed() {
    std::string text;
    for (const std::string &entry : zha::PrintedReports()) text += entry;
    return text;
}

// What a session run showed.
struct SessionRun {
    zses::SessionOutcome outcome;
    std::string out;  // the transcript
    std::string err;  // errors and failed checks
};

// Runs session text as test.session in folder, against the module the tool
// session installed. The runner closes a tool left open.
inline SessionRun RunSession(const std::string &folder, const std::string &text) {
    std::ostringstream out, err;
    zses::SessionRunner runner(out, err);
    SessionRun run;
    run.outcome = runner.RunText(text, "test.session", folder);
    run.out = out.str();
    run.err = err.str();
    return run;
}

}  // namespace hs

#endif
