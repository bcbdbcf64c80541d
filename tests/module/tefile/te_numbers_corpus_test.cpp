// Every number the fuzz corpus holds is read as the C library's strtod reads
// it: whole lines against the strtod-based reference reader, and every
// number-like word of the corpus as a decimal field, a plain coordinate and
// the seconds of a D M S angle.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "fuzz/te_reference.h"
#include "tefile/te_point_loader.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> CorpusFiles() {
    std::vector<std::string> bytes;
    for (const char *target : {"fuzz_te_file", "fuzz_te_line", "fuzz_te_strict"}) {
        for (const auto &entry : fs::directory_iterator(fs::path(ZOT_SOURCE_DIR) / "tests/fuzz/corpus" / target)) {
            std::ifstream in(entry.path(), std::ios::binary);
            bytes.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    }
    return bytes;
}

// Bit for bit, so that -0 and 0 differ.
bool Same(double a, double b) { return std::signbit(a) == std::signbit(b) && (a == b || (a != a && b != b)); }

TEST(TENumbersCorpusTest, LinesReadAsTheStrtodReferenceReadsThem) {
    TEPointLoader loader;
    int compared = 0;
    for (const std::string &file : CorpusFiles()) {
        for (const std::string &line : zt_ref::Lines(file)) {
            for (const bool geographic : {true, false}) {
                TEPoint expected;
                if (!zt_ref::ReadLine(line, geographic, &expected)) continue;
                TEPoint read;
                try {
                    read = loader.processLine(geographic, line);
                } catch (const TEFormatException &) {
                    continue;  // refused for a rule other than its numbers
                }
                ++compared;
                EXPECT_TRUE(Same(expected.latitude, read.latitude)) << line;
                EXPECT_TRUE(Same(expected.longitude, read.longitude)) << line;
                EXPECT_TRUE(Same(expected.elevation, read.elevation)) << line;
                EXPECT_TRUE(Same(expected.circularError90, read.circularError90)) << line;
                EXPECT_TRUE(Same(expected.linearError90, read.linearError90)) << line;
            }
        }
    }
    EXPECT_GT(compared, 100);
}

TEST(TENumbersCorpusTest, EveryNumberOfTheCorpusReadsAsStrtodReadsIt) {
    std::set<std::string> words;
    for (const std::string &file : CorpusFiles()) {
        for (const std::string &part : zt_ref::Split(file, ' ', true)) {
            for (const std::string &word : zt_ref::Split(part, '\t', true)) {
                for (const std::string &piece : zt_ref::Split(word, ':', true)) {
                    if (zt_ref::IsDecimal(piece) && std::isfinite(zt_ref::Number(piece))) words.insert(piece);
                }
            }
        }
    }
    ASSERT_GT(words.size(), 200u);
    TEPointLoader loader;
    // The value the loader gives the second field of a map line, or NAN when
    // it refuses the line for another rule (a range).
    auto read = [&](const std::string &coordinate, const std::string &elevation, double TEPoint::*field) -> double {
        try {
            return loader.processLine(false, "id\t" + coordinate + "\t0\t" + elevation + "\t0\t0\t").*field;
        } catch (const TEFormatException &) {
            return NAN;
        }
    };
    size_t compared = 0;
    for (const std::string &word : words) {
        const double expected = zt_ref::Number(word);
        for (double TEPoint::*field : {&TEPoint::longitude, &TEPoint::elevation}) {
            const double value = read(field == &TEPoint::longitude ? word : "0", word, field);
            if (std::isnan(value)) continue;
            ++compared;
            EXPECT_TRUE(Same(expected, value)) << word;
        }
        if (word[0] == '-' || word[0] == '+') continue;
        const std::string angle = "12 34 " + word;
        const double seconds = 12 + 34 * 0.016666666666666666 + expected * 0.0002777777777777778;
        const double value = read(angle, "0", &TEPoint::longitude);
        if (!std::isnan(value)) {
            EXPECT_TRUE(Same(seconds, value)) << angle;
        }
    }
    EXPECT_GT(compared, words.size());
}

}  // namespace
