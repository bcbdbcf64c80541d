// Every operation of the toolkit passes through its instrumentation under its
// own name: FaultHit when it can report a failure (so a test or a session can
// make it fail at any call), CountCall when it cannot. A new operation that
// forgot would escape the failure sweep unseen; this reads the sources.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>
#include <vector>

#include "fixtures/files.h"

namespace {

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// The operation named by a definition starting at line start: a word z??_...
// or z???_... followed by "(" on a line that does not start with a blank;
// "" for none.
std::string OperationAt(const std::string &text, size_t start) {
    if (start >= text.size() || !std::isalpha(static_cast<unsigned char>(text[start]))) return "";
    const size_t end = text.find('\n', start);
    for (size_t at = text.find('z', start); at < end && at != std::string::npos; at = text.find('z', at + 1)) {
        if (at > start && IsWordChar(text[at - 1])) continue;
        size_t word = at;
        while (word < text.size() && IsWordChar(text[word])) ++word;
        const size_t underscore = text.find('_', at);
        if (word < text.size() && text[word] == '(' && (underscore == at + 3 || underscore == at + 4)) {
            return text.substr(at, word - at);
        }
    }
    return "";
}

TEST(InstrumentationTest, EveryToolkitOperationIsCountedUnderItsName) {
    int operations = 0;
    std::vector<std::string> uncounted;
    for (const auto &entry : std::filesystem::recursive_directory_iterator(ZOT_SOURCE_DIR "/headless/toolkit")) {
        if (entry.path().extension() != ".cpp") continue;
        const std::string text = zt::ReadText(entry.path().string());
        for (size_t line = 0; line < text.size(); line = text.find('\n', line) + 1) {
            const std::string name = OperationAt(text, line);
            // A definition opens its body before any semicolon.
            const size_t open = text.find('{', line), semicolon = text.find(';', line);
            if (name.empty() || open == std::string::npos || semicolon < open) {
                if (text.find('\n', line) == std::string::npos) break;
                continue;
            }
            size_t close = open + 1;
            for (int depth = 1; depth > 0 && close < text.size(); ++close) {
                depth += text[close] == '{' ? 1 : text[close] == '}' ? -1 : 0;
            }
            const std::string body = text.substr(line, close - line);
            const bool named = body.find("\"" + name + "\"") != std::string::npos;
            const bool counted = body.find("FaultHit(") != std::string::npos ||
                                 body.find("CountCall(") != std::string::npos ||
                                 body.find("Enter(") != std::string::npos;
            ++operations;
            if (!named || !counted) uncounted.push_back(entry.path().filename().string() + ": " + name);
            if (text.find('\n', line) == std::string::npos) break;
        }
    }
    EXPECT_GT(operations, 100);
    EXPECT_EQ(uncounted, std::vector<std::string>{});
}

}  // namespace
