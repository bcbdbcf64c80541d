// A second, deliberately simple reading of T&E files, written from the file
// format's rules rather than from the loader, for the fuzz targets to compare
// the loader against. It splits each field into blank-separated words and
// checks each word whole against a pattern; numbers go through strtod.
//
// The rules: a line has at least six TABs and no NUL byte; fields 2 and 3
// (coordinates), trimmed of blanks, are D M S (blank-separated), D:M:S or one
// decimal number, where D and M are integers and S a decimal (M and S taken
// with their signs as written, only D's minus making the value negative);
// a hemisphere letter (N S E W, either case) may stand before the degrees or
// after the last number of a geographic coordinate, S and W making it
// negative, never with a minus sign, N/S only on a latitude and E/W only on a
// longitude; a longitude lies within ±360; fields 4 to 6, trimmed, are one
// finite decimal each. Blanks are the C white-space characters. A file's lines
// end at LF, CR LF or CR alone, a last line without an end counts, and a UTF-8
// byte-order mark before the first line is skipped.
#ifndef ZT_TE_REFERENCE_H
#define ZT_TE_REFERENCE_H

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "tefile/te_point_loader.h"

namespace zt_ref {

// The numbers written in a field, or why the field is refused.
struct Value {
    bool ok = false;
    double value = 0.0;
};

// Blanks are the C white-space characters.
inline bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

inline std::string Trim(const std::string &text) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

inline bool AllDigits(const std::string &text, size_t from = 0) {
    if (from >= text.size()) return false;
    for (size_t i = from; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
    }
    return true;
}

// [+-] digits [. [digits]] | [+-] . digits, then [eE [+-] digits].
inline bool IsDecimal(const std::string &word) {
    size_t i = 0;
    if (i < word.size() && (word[i] == '+' || word[i] == '-')) ++i;
    size_t digits = 0;
    while (i < word.size() && word[i] >= '0' && word[i] <= '9') ++i, ++digits;
    if (i < word.size() && word[i] == '.') {
        ++i;
        while (i < word.size() && word[i] >= '0' && word[i] <= '9') ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < word.size() && (word[i] == 'e' || word[i] == 'E')) {
        ++i;
        if (i < word.size() && (word[i] == '+' || word[i] == '-')) ++i;
        if (!AllDigits(word, i)) return false;
        i = word.size();
    }
    return i == word.size();
}

inline bool IsInteger(const std::string &word, bool signAllowed) {
    const size_t from = signAllowed && !word.empty() && (word[0] == '+' || word[0] == '-') ? 1 : 0;
    return AllDigits(word, from);
}

inline double Number(const std::string &word) { return std::strtod(word.c_str(), nullptr); }

// One finite decimal number, blanks around it allowed.
inline Value ReadNumber(const std::string &field) {
    const std::string word = Trim(field);
    Value v;
    if (!IsDecimal(word)) return v;
    v.value = Number(word);
    v.ok = std::isfinite(v.value);
    return v;
}

// Parts of text between separators; a blank separator stands for any blank.
inline std::vector<std::string> Split(const std::string &text, char separator, bool mergeRuns) {
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (separator == ' ' ? !IsBlank(c) : c != separator) {
            parts.back() += c;
        } else if (!mergeRuns || !parts.back().empty()) {
            parts.emplace_back();
        }
    }
    return parts;
}

enum class Axis { Latitude, Longitude, Map };

inline Value ReadCoordinate(const std::string &field, Axis axis) {
    std::string text = Trim(field);
    Value refused;
    bool south = false;
    // A hemisphere letter first or last.
    auto letter = [](char c) {
        const char lower = static_cast<char>(c | 0x20);
        return lower == 'n' || lower == 's' || lower == 'e' || lower == 'w' ? lower : '\0';
    };
    char hemisphere = '\0';
    if (!text.empty() && letter(text[0])) {
        hemisphere = letter(text[0]);
        text = Trim(text.substr(1));
    } else if (!text.empty() && letter(text.back())) {
        hemisphere = letter(text.back());
        text = Trim(text.substr(0, text.size() - 1));
    }
    if (hemisphere) {
        if (axis == Axis::Map) return refused;
        const bool northSouth = hemisphere == 'n' || hemisphere == 's';
        if (northSouth != (axis == Axis::Latitude)) return refused;
        if (text.find('-') != std::string::npos) return refused;
        south = hemisphere == 's' || hemisphere == 'w';
    }
    Value v;
    bool blanks = false;
    for (char c : text) blanks = blanks || IsBlank(c);
    if (blanks || text.find(':') != std::string::npos) {
        const std::vector<std::string> parts = Split(text, blanks ? ' ' : ':', blanks);
        if (parts.size() != 3 || !IsInteger(parts[0], true) || !IsInteger(parts[1], true) || !IsDecimal(parts[2]))
            return refused;
        const double magnitude = std::fabs(Number(parts[0])) + Number(parts[1]) * 0.016666666666666666 +
                                 Number(parts[2]) * 0.0002777777777777778;
        v.value = parts[0][0] == '-' ? -magnitude : magnitude;
    } else {
        if (!IsDecimal(text)) return refused;
        v.value = Number(text);
    }
    if (south) v.value = -v.value;
    v.ok = std::isfinite(v.value) && !(axis == Axis::Longitude && std::fabs(v.value) > 360.0);
    return v;
}

// The point of one line (without its line end); false when the line is invalid.
inline bool ReadLine(const std::string &line, bool geographic, TEPoint *point) {
    if (line.find('\0') != std::string::npos) return false;
    std::vector<std::string> fields = Split(line, '\t', false);
    if (fields.size() < 7) return false;
    point->id = fields[0];
    point->description = fields[6];
    const Value first = ReadCoordinate(fields[1], geographic ? Axis::Latitude : Axis::Map);
    const Value second = ReadCoordinate(fields[2], geographic ? Axis::Longitude : Axis::Map);
    const Value elevation = ReadNumber(fields[3]);
    const Value ce90 = ReadNumber(fields[4]);
    const Value le90 = ReadNumber(fields[5]);
    if (!first.ok || !second.ok || !elevation.ok || !ce90.ok || !le90.ok) return false;
    // A geographic file puts the latitude first, a map file X.
    point->latitude = geographic ? first.value : second.value;
    point->longitude = geographic ? second.value : first.value;
    point->elevation = elevation.value;
    point->circularError90 = ce90.value;
    point->linearError90 = le90.value;
    return true;
}

// The lines of a file's bytes, each without its line end.
inline std::vector<std::string> Lines(std::string bytes) {
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find_first_of("\r\n", start);
        size_t next = end == std::string::npos ? bytes.size() : end + 1;
        if (end == std::string::npos) end = bytes.size();
        if (end < bytes.size() && bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n') ++next;
        lines.push_back(bytes.substr(start, end - start));
        start = next;
    }
    return lines;
}

// The points of a file up to its first invalid line; *failedLine is that line
// (counting from 1), or 0 when every line is valid.
inline std::vector<TEPoint> ReadFile(const std::string &bytes, bool geographic, int *failedLine) {
    std::vector<TEPoint> points;
    *failedLine = 0;
    const std::vector<std::string> lines = Lines(bytes);
    for (size_t i = 0; i < lines.size(); ++i) {
        TEPoint point;
        if (!ReadLine(lines[i], geographic, &point)) {
            *failedLine = static_cast<int>(i + 1);
            break;
        }
        points.push_back(point);
    }
    return points;
}

}  // namespace zt_ref

#endif
