// Fuzzes splitting session lines into words: any bytes either split, or are
// refused with a reason; the words of a line that splits, written back with
// every word quoted, split again into the same words.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "session/session.h"

namespace {

void require(bool condition, const char *what) {
    if (condition) return;
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

// A word in double quotes with the escapes the session language reads.
std::string quote(const std::string &word) {
    std::string text = "\"";
    for (char c : word) {
        switch (c) {
            case '"': text += "\\\""; break;
            case '\\': text += "\\\\"; break;
            case '\n': text += "\\n"; break;
            case '\t': text += "\\t"; break;
            default: text += c;
        }
    }
    return text + "\"";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string line(reinterpret_cast<const char *>(data), size);
    std::vector<std::string> words;
    std::string error;
    if (!zses::SplitSessionLine(line, &words, &error)) {
        require(!error.empty(), "a refused line says why");
        return 0;
    }
    require(error.empty(), "a line that splits has no error");
    std::string again;
    for (const std::string &word : words) {
        require(word.find('\0') == std::string::npos, "no word holds a NUL");
        again += quote(word) + " ";
    }
    again += "# a comment after the words";
    std::vector<std::string> reread;
    require(zses::SplitSessionLine(again, &reread, &error), "quoted words split");
    require(reread == words, "quoted words split into the same words");
    return 0;
}
