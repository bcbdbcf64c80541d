// Shared by the zot-host tests: small modules built at test time, and running
// sessions in-process against the built module.
#ifndef ZTS_SESSION_SUPPORT_H
#define ZTS_SESSION_SUPPORT_H

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "app/module_loader.h"
#include "fixtures/files.h"
#include "fixtures/temp_dir.h"
#include "session/session.h"

namespace zts {

// Compiles C source into the shared library at path with the system compiler,
// against the host declarations. Returns "" on success, else the compiler's
// output.
std::string BuildLibrary(const std::string &source, const std::string &path);

// A test with the built module loaded and reachable from the UI runtime, a
// temporary folder, and a session runner writing into strings.
class SessionTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes text as <folder>/<name> and runs it.
    zses::SessionOutcome Run(const std::string &text, const std::string &name = "test.session");

    zt::TempDir dir_;
    zapp::Module module_;
    std::ostringstream out_;
    std::ostringstream err_;
    zses::SessionRunner runner_{out_, err_};
};

}  // namespace zts

#endif
