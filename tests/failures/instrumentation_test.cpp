// Every operation of the toolkit passes through its instrumentation under its
// own name: FaultHit when it can report a failure (so a test or a session can
// make it fail at any call), CountCall when it cannot. A new operation that
// forgot would escape the failure sweep unseen; this reads the sources.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "fixtures/files.h"

namespace {

TEST(InstrumentationTest, EveryToolkitOperationIsCountedUnderItsName) {
    // A definition of an operation (zerr_..., zzml_..., ...) opening its body.
    const std::regex definition(R"(\n[A-Za-z][^\n;{}]*?\b(z[a-z]{2,3}_\w+)\([^;{}]*\)\s*\{)");
    int operations = 0;
    std::vector<std::string> uncounted;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(ZOT_SOURCE_DIR "/headless/toolkit")) {
        if (entry.path().extension() != ".cpp") continue;
        const std::string text = zt::ReadText(entry.path().string());
        for (std::sregex_iterator it(text.begin(), text.end(), definition), end; it != end; ++it) {
            const std::string name = (*it)[1];
            // The body: up to the brace that closes it.
            size_t at = static_cast<size_t>(it->position(0) + it->length(0));
            for (int depth = 1; depth > 0 && at < text.size(); ++at) depth += text[at] == '{' ? 1 : text[at] == '}' ? -1 : 0;
            const std::string body = text.substr(it->position(0), at - static_cast<size_t>(it->position(0)));
            const bool named = body.find("\"" + name + "\"") != std::string::npos;
            const bool counted = body.find("FaultHit(") != std::string::npos ||
                                 body.find("CountCall(") != std::string::npos ||
                                 body.find("Enter(") != std::string::npos;
            ++operations;
            if (!named || !counted) uncounted.push_back(entry.path().filename().string() + ": " + name);
        }
    }
    EXPECT_GT(operations, 100);
    EXPECT_EQ(uncounted, std::vector<std::string>{});
}

}  // namespace
