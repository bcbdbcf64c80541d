// Reading and writing T&E files: one reference point a line, seven TAB-separated
// fields (ID, two coordinates, elevation, CE90, LE90, description).
//
// Numbers are read and written without the C locale functions (from_chars and
// to_chars), so a host that changes the process locale cannot change the file
// format. A field that is not exactly the number or angle it should hold makes
// its line invalid, and so does a value that is infinite: one such value would
// poison every statistic of the set.
#include "tefile/te_point_loader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <stdexcept>
#include <system_error>

#include "boundary/output_file.h"
#include "zarvolog.h"

static const char *const kSource = "TEPointLoader";
static const char *const kFormatMessage = "Incorrect format for T&E File.";
static const int kMinimumTabs = 6;
// Files are read in blocks of this many bytes (a block grows for a longer line).
static const size_t kReadBlock = size_t{64} << 10;
// UTF-8's byte order mark, which some editors put before a file's first line.
static const char kByteOrderMark[] = "\xEF\xBB\xBF";

// The doubles nearest 1/60 and 1/3600.
static const double kPerMinute = 0.016666666666666666;
static const double kPerSecond = 0.0002777777777777778;
// Every double is written with this many significant digits.
static const int kDigits = 11;

// line is the source line that raises, for the log; reason, when given, is
// taken as why (the innermost report of its chain) and deleted.
[[noreturn]] static void ThrowFile(const char *operation, int line, const char *format, const char *fileName,
                                   Zerr_Report *reason = nullptr) {
    const int length = std::snprintf(nullptr, 0, format, fileName);
    std::string message(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    std::snprintf(&message[0], message.size() + 1, format, fileName);
    const Zerr_Report *innermost = reason;
    while (innermost && zerr_ReportCause(innermost)) innermost = zerr_ReportCause(innermost);
    const std::string why = innermost ? zerr_ReportMessage(innermost) : "";
    zerr_DeleteErrorReportEx(&reason);
    throw TEFileException(operation, line, message, why);
}

static bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A field as an error quotes it: at most kQuotedLength characters, each byte
// that does not show (control bytes, bytes that are not UTF-8) as \xHH and
// each character that does not show (a non-breaking or zero-width space, a
// direction mark) as \u{HHHH}, so the user sees what the file holds.
static const size_t kQuotedLength = 80;

static std::string QuoteField(const char *begin, const char *end) {
    std::string out = "\"";
    size_t shown = 0;
    const char *at = begin;
    char escape[16];
    while (at < end && shown < kQuotedLength) {
        const unsigned char c = static_cast<unsigned char>(*at);
        // The length of the UTF-8 sequence c starts, 0 when it starts none.
        const int length = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        bool valid = length > 0 && end - at >= length;
        unsigned code = length == 1 ? c : length == 2 ? c & 0x1Fu : length == 3 ? c & 0x0Fu : c & 0x07u;
        for (int i = 1; valid && i < length; ++i) {
            const unsigned char next = static_cast<unsigned char>(at[i]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3Fu);
        }
        if (!valid || code < 0x20 || code == 0x7F) {
            std::snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
            ++at;
        } else if ((code >= 0x80 && code <= 0xA0) || code == 0xAD || (code >= 0x200B && code <= 0x200F) ||
                   (code >= 0x2028 && code <= 0x202F) || (code >= 0x2060 && code <= 0x2064) || code == 0xFEFF) {
            std::snprintf(escape, sizeof escape, "\\u{%04X}", code);
            out += escape;
            at += length;
        } else {
            out.append(at, static_cast<size_t>(length));
            at += length;
        }
        ++shown;
    }
    out += '"';
    if (at < end) out += "... (" + std::to_string(end - begin) + " bytes)";
    return out;
}

namespace {

// A piece of a line: [begin, end).
struct Text {
    const char *begin;
    const char *end;

    bool empty() const { return begin == end; }
    std::string quoted() const { return QuoteField(begin, end); }
    Text trimmed() const {
        Text t = *this;
        while (!t.empty() && IsSpace(*t.begin)) ++t.begin;
        while (!t.empty() && IsSpace(t.end[-1])) --t.end;
        return t;
    }
    bool holds(char c) const { return std::find(begin, end, c) != end; }
    bool startsWith(const char *prefix) const {
        const size_t length = std::strlen(prefix);
        return static_cast<size_t>(end - begin) >= length && std::memcmp(begin, prefix, length) == 0;
    }
    bool holdsSpace() const { return std::find_if(begin, end, IsSpace) != end; }
};

}  // namespace

// The value of the digits (and decimal point and exponent) in text, which holds
// no sign. Values beyond the range of a double come back infinite (to be
// rejected) or as zero (underflow), as strtod gives them.
static double DecimalValue(const char *begin, const char *end) {
    double value = 0.0;
    const std::from_chars_result result = std::from_chars(begin, end, value, std::chars_format::general);
    if (result.ec != std::errc::result_out_of_range) return value;
    // Out of range: overflow when the first significant digit stands at or
    // above the units place after applying the exponent, underflow otherwise.
    long long integerDigits = 0;
    long long fractionDigits = 0;
    long long firstInteger = -1;   // index of the first nonzero digit before the point
    long long firstFraction = -1;  // index of the first nonzero digit after it
    bool afterPoint = false;
    const char *p = begin;
    for (; p < end && (IsDigit(*p) || *p == '.'); ++p) {
        if (*p == '.') {
            afterPoint = true;
        } else if (afterPoint) {
            if (firstFraction < 0 && firstInteger < 0 && *p != '0') firstFraction = fractionDigits;
            ++fractionDigits;
        } else {
            if (firstInteger < 0 && *p != '0') firstInteger = integerDigits;
            ++integerDigits;
        }
    }
    // The decimal place of the first significant digit: 0 for units, -1 for tenths.
    const long long leadingPlace = firstInteger >= 0 ? integerDigits - 1 - firstInteger : -(firstFraction + 1);
    long long exponent = 0;
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        const bool negative = p < end && *p == '-';
        if (p < end && (*p == '-' || *p == '+')) ++p;
        for (; p < end && IsDigit(*p); ++p) {
            if (exponent < 1000000000) exponent = exponent * 10 + (*p - '0');
        }
        if (negative) exponent = -exponent;
    }
    return leadingPlace + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
}

// Whether text is exactly one number: [sign] digits, and when whole is false
// also [sign] digits [. digits] [(e|E) [sign] digits] with a digit before or
// after the point. minus tells whether a minus sign was written (so that -0
// keeps its sign). A value beyond the range of a double comes back infinite.
static bool ReadNumber(Text text, bool whole, double &value, bool &minus) {
    const char *at = text.begin;
    minus = at < text.end && *at == '-';
    if (at < text.end && (*at == '-' || *at == '+')) ++at;
    const char *digits = at;
    while (at < text.end && IsDigit(*at)) ++at;
    bool anyDigit = at != digits;
    if (!whole && at < text.end && *at == '.') {
        const char *fraction = ++at;
        while (at < text.end && IsDigit(*at)) ++at;
        anyDigit = anyDigit || at != fraction;
    }
    if (!anyDigit) return false;
    if (!whole && at < text.end && (*at == 'e' || *at == 'E')) {
        ++at;
        if (at < text.end && (*at == '-' || *at == '+')) ++at;
        const char *exponentDigits = at;
        while (at < text.end && IsDigit(*at)) ++at;
        if (at == exponentDigits) return false;
    }
    if (at != text.end) return false;
    value = DecimalValue(digits, at);
    if (minus) value = -value;
    return true;
}

// Gives visit each part of a D M S (blank-separated) or D:M:S text in turn,
// until it returns false.
template <typename Visit>
static void ForEachPart(Text text, bool colons, Visit visit) {
    const char *at = text.begin;
    while (at <= text.end) {
        const char *stop = at;
        while (stop < text.end && (colons ? *stop != ':' : !IsSpace(*stop))) ++stop;
        if (!visit(Text{at, stop})) return;
        at = stop + 1;
        while (!colons && at < text.end && IsSpace(*at)) ++at;
    }
}

// A hemisphere letter in either case, or 0.
static char HemisphereLetter(char c) {
    const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    return (upper == 'N' || upper == 'S' || upper == 'E' || upper == 'W') ? upper : 0;
}

// The forms the tool itself writes, read in one pass: "[-]D M S" with single
// blanks, whole degrees and minutes, or "[-]D.D", each number of at most 15
// digits. False for anything else (blanks around the field, letters, colons,
// exponents, longer numbers), which ReadCoordinate then reads; where this
// reads a field, it gives exactly what ReadCoordinate gives.
static bool ReadPlainCoordinate(Text field, double &value) {
    const char *at = field.begin;
    const bool minus = at < field.end && *at == '-';
    if (minus) ++at;
    double parts[3];
    bool whole[3];
    int count = 0;
    for (;;) {
        const char *part = at;
        int digits = 0;
        while (at < field.end && IsDigit(*at)) ++at, ++digits;
        whole[count] = !(at < field.end && *at == '.');
        if (!whole[count]) {
            for (++at; at < field.end && IsDigit(*at); ++at) ++digits;
        }
        if (digits == 0 || digits > 15) return false;
        std::from_chars(part, at, parts[count], std::chars_format::fixed);
        ++count;
        if (at == field.end) break;
        if (*at != ' ' || count == 3) return false;
        ++at;
    }
    if (count == 1) {
        value = parts[0];
    } else if (count == 3 && whole[0] && whole[1]) {
        value = parts[0] + parts[1] * kPerMinute + parts[2] * kPerSecond;
    } else {
        return false;
    }
    if (minus) value = -value;
    return true;
}

// A coordinate field as read: the value (negative for S and W) and the
// hemisphere letter written with it (0 for none). False with a problem for the
// user when the field is not exactly one of the three forms.
static bool ReadCoordinate(Text field, double &value, char &letter, std::string &problem) {
    letter = 0;
    if (ReadPlainCoordinate(field, value)) return true;
    Text body = field.trimmed();
    if (body.empty()) {
        problem = "is empty";
        return false;
    }
    letter = HemisphereLetter(*body.begin);
    if (letter) {
        ++body.begin;
    } else if ((letter = HemisphereLetter(body.end[-1])) != 0) {
        --body.end;
    }
    body = body.trimmed();
    if (letter && body.holds('-')) {
        problem = field.quoted() + " has a hemisphere letter and a minus sign";
        return false;
    }
    // Chosen in this order: a blank, a colon, neither.
    const bool blanks = body.holdsSpace();
    if (blanks || body.holds(':')) {
        static const char *const kPartNames[] = {"degrees", "minutes", "seconds"};
        double numbers[3] = {0.0, 0.0, 0.0};
        bool minus = false;
        size_t parts = 0;
        bool read = true;
        ForEachPart(body, !blanks, [&](Text part) {
            const size_t i = parts++;
            double number = 0.0;
            bool partMinus = false;
            const bool whole = i < 2;
            if (!ReadNumber(part, whole, number, partMinus)) {
                problem = part.quoted() + " in " + field.quoted() + " is not " +
                          (whole ? "a whole number" : "a number") + (i < 3 ? std::string(" of ") + kPartNames[i] : "");
                read = false;
                return false;
            }
            if (i < 3) numbers[i] = number;
            if (i == 0) minus = partMinus;
            return true;
        });
        if (!read) return false;
        if (parts != 3) {
            problem = field.quoted() + " holds " + std::to_string(parts) + " numbers, " +
                      (blanks ? "D M S" : "D:M:S") + " needs 3";
            return false;
        }
        value = std::fabs(numbers[0]) + numbers[1] * kPerMinute + numbers[2] * kPerSecond;
        if (minus) value = -value;
    } else {
        bool minus = false;
        if (!ReadNumber(body, false, value, minus)) {
            problem = field.quoted() + " is not a number";
            return false;
        }
    }
    if (!std::isfinite(value)) {
        problem = field.quoted() + " is too large";
        return false;
    }
    if (letter == 'S' || letter == 'W') value = -value;
    return true;
}

// A length field: one finite number, blanks around it ignored.
static bool ReadLength(Text field, double &value, std::string &problem) {
    const Text body = field.trimmed();
    bool minus = false;
    if (body.empty()) {
        problem = "is empty";
    } else if (!ReadNumber(body, false, value, minus)) {
        problem = field.quoted() + " is not a number";
    } else if (!std::isfinite(value)) {
        problem = field.quoted() + " is too large";
    } else {
        return true;
    }
    return false;
}

// splitDegrees with the whole degrees as a double, which holds any finite value
// exactly; non-finite values come back whole in the seconds.
static void SplitExact(double value, double &wholeDegrees, int &minutes, double &seconds) {
    if (!std::isfinite(value)) {
        wholeDegrees = 0.0;
        minutes = 0;
        seconds = value;
        return;
    }
    const double a = std::fabs(value);
    const double whole = std::floor(a);
    const double t = (a - whole) * 3600.0;
    minutes = static_cast<int>(std::floor(t / 60.0));
    seconds = t - minutes * 60.0;
    wholeDegrees = value < 0 ? -whole : whole;
}

static void AppendNumber(std::string &out, double value) {
    // Within 11 digits of the largest double a value rounds up beyond it and
    // would read back as infinite, so the file could not be loaded again; it
    // is written rounded toward zero instead.
    const double largestRoundingDown = 1.79769313485e308;
    if (std::isfinite(value) && std::fabs(value) >= largestRoundingDown) {
        out += value < 0 ? "-1.7976931348e+308" : "1.7976931348e+308";
        return;
    }
    char text[64];
    const std::to_chars_result result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::general, kDigits);
    out.append(text, result.ptr);
}

// A TAB or line end inside a text field would split the field or the line,
// and a NUL byte end it, making the whole file unreadable; they are written as
// spaces.
static void AppendText(std::string &out, const std::string &text) {
    for (char c : text) out += (c == '\t' || c == '\n' || c == '\r' || c == '\0') ? ' ' : c;
}

// D M S with single spaces; the sign comes from the value, since the whole
// degrees of a value between -1 and 0 are 0.
static void AppendDegrees(std::string &out, double value) {
    if (!std::isfinite(value)) {
        AppendNumber(out, value);
        return;
    }
    double whole = 0.0;
    int minutes = 0;
    double seconds = 0.0;
    SplitExact(value, whole, minutes, seconds);
    if (value < 0) out += '-';
    char text[400];
    // %.0f writes the whole degrees exactly, however large; the format does not
    // depend on the locale as no decimal point is written.
    std::snprintf(text, sizeof text, "%.0f %d ", std::fabs(whole), minutes);
    out += text;
    AppendNumber(out, seconds);
}


TEFormatException::TEFormatException(int line, const std::string &field, const std::string &problem)
    : ZarvoLog::CPPException<std::invalid_argument>(kSource, "TEPointLoader::processLine", line, kFormatMessage),
      field_(field), problem_(problem) {}

std::string TEFormatException::detail() const {
    return "line " + std::to_string(get_LineNum()) + (field_.empty() ? ": " : ", " + field_ + ": ") + problem_;
}

TEFileException::TEFileException(const char *operation, int line, const std::string &message,
                                 const std::string &reason)
    : ZarvoLog::CPPException<std::runtime_error>(kSource, operation, line, message), reason_(reason) {}

void TEPointLoader::loadFile(const char *fileName, bool unitsAreDegrees, std::vector<TEPoint> &points) {
    readFile(fileName, unitsAreDegrees, [&points](TEPoint &point, int) { points.push_back(std::move(point)); });
}

static TEPoint ParseLine(bool unitsAreDegrees, Text line);

// Where the first line in [begin, end) ends: at a line feed, a carriage return
// and line feed, or a carriage return alone (files from old editors), each
// ending one line. Null when no line end is there yet, or when a carriage
// return is the last byte read and a line feed may follow it (allRead false).
// length is how many bytes the line end takes.
static const char *FindLineEnd(const char *begin, const char *end, bool allRead, size_t &length) {
    const char *feed = static_cast<const char *>(std::memchr(begin, '\n', static_cast<size_t>(end - begin)));
    const char *limit = feed ? feed : end;
    const char *ret = static_cast<const char *>(std::memchr(begin, '\r', static_cast<size_t>(limit - begin)));
    if (!ret) {
        length = 1;
        return feed;
    }
    if (ret + 1 == end && !allRead) return nullptr;
    length = ret + 1 < end && ret[1] == '\n' ? 2 : 1;
    return ret;
}

// About how many lines a file of fileBytes holds whose first blockBytes bytes
// hold lineEnds line ends.
static size_t EstimateLines(uintmax_t fileBytes, const char *block, size_t blockBytes) {
    size_t lineEnds = 0;
    for (const char *at = block, *end = block + blockBytes;
         (at = static_cast<const char *>(std::memchr(at, '\n', static_cast<size_t>(end - at)))) != nullptr; ++at)
        ++lineEnds;
    if (blockBytes == 0) return 0;
    if (fileBytes <= blockBytes) return lineEnds + 1;
    const double estimate = static_cast<double>(fileBytes) * static_cast<double>(lineEnds + 1) /
                            static_cast<double>(blockBytes);
    return estimate < 1e9 ? static_cast<size_t>(estimate) : size_t{1000000000};
}

void TEPointLoader::readFile(const char *fileName, bool unitsAreDegrees,
                             const std::function<void(TEPoint &point, int line)> &take,
                             const std::function<void(size_t lines)> &expect) {
    if (!fileName) return;
    static const char kReadMessage[] = "Error reading T&E file %s.";
    std::error_code ignored;
    // Only a regular file is a T&E file: a folder opens for reading but reads as
    // empty, a device such as /dev/zero never ends, and a pipe may never deliver.
    std::ifstream in;
    if (std::filesystem::is_regular_file(fileName, ignored)) in.open(fileName, std::ios::in | std::ios::binary);
    if (!in.is_open()) ThrowFile("TEPointLoader::loadFile", __LINE__, "Error opening T&E file %s.", fileName);
    // The file is read a block at a time and each line parsed where it lies;
    // a line longer than the block makes the block grow.
    std::vector<char> block(kReadBlock);
    size_t begin = 0, end = 0;  // what is read and not yet parsed: block[begin, end)
    bool allRead = false;
    bool told = !expect;
    int lineNumber = 0;
    for (;;) {
        const char *const unread = block.data() + begin;
        size_t endLength = 0;
        const char *newline = FindLineEnd(unread, block.data() + end, allRead, endLength);
        if (!newline && !allRead) {
            std::memmove(block.data(), unread, end - begin);
            end -= begin;
            begin = 0;
            try {
                if (end == block.size()) block.resize(block.size() * 2);
            } catch (const std::bad_alloc &) {
                // A line too long for memory: the points read so far are not all of the file's.
                ThrowFile("TEPointLoader::loadFile", __LINE__, kReadMessage, fileName);
            }
            in.read(block.data() + end, static_cast<std::streamsize>(block.size() - end));
            end += static_cast<size_t>(in.gcount());
            if (in.bad()) ThrowFile("TEPointLoader::loadFile", __LINE__, kReadMessage, fileName);
            allRead = !in;
            if (!told) {
                told = true;
                std::error_code unknown;
                const uintmax_t size = std::filesystem::file_size(fileName, unknown);
                expect(EstimateLines(unknown ? end : size, block.data(), end));
            }
            continue;
        }
        // A last line without a line feed is a line too; nothing after the
        // last line feed is no line.
        if (!newline && begin == end) break;
        const char *lineEnd = newline ? newline : block.data() + end;
        begin = static_cast<size_t>(lineEnd - block.data()) + (newline ? endLength : 0);
        Text line{unread, lineEnd};
        if (lineNumber < std::numeric_limits<int>::max()) ++lineNumber;
        // Editors that save "UTF-8 with BOM" put the mark before the first line;
        // the mark alone is an empty file, not an empty line.
        if (lineNumber == 1 && line.startsWith(kByteOrderMark)) {
            line.begin += sizeof kByteOrderMark - 1;
            if (line.empty() && !newline) break;
        }
        TEPoint point;
        try {
            point = ParseLine(unitsAreDegrees, line);
        } catch (const TEFormatException &invalid) {
            throw TEFormatException(lineNumber, invalid.field(), invalid.problem());
        }
        take(point, lineNumber);
    }
}

// Every field is read strictly: a value that is not exactly what its field
// holds would otherwise be taken silently as another value (a trailing blank
// once made 45.0860 read as 45, 9.5 km off).
TEPoint TEPointLoader::processLine(bool unitsAreDegrees, const std::string &line) {
    return ParseLine(unitsAreDegrees, Text{line.data(), line.data() + line.size()});
}

// processLine on a piece of a line (as a file's block holds it).
static TEPoint ParseLine(bool unitsAreDegrees, Text line) {
    static const char *const kGeographicNames[7] = {"ID", "latitude", "longitude", "elevation",
                                                    "CE90", "LE90", "description"};
    static const char *const kMapNames[7] = {"ID", "X", "Y", "elevation", "CE90", "LE90", "description"};
    const char *const *names = unitsAreDegrees ? kGeographicNames : kMapNames;
    // A single line is line 1 of itself; loadFile gives the line in the file.
    auto fieldName = [names](int index) {
        return "field " + std::to_string(index + 1) + " (" + names[index] + ")";
    };

    Text fields[7];
    int tabs = 0;
    const char *start = line.begin;
    const char *const end = line.end;
    if (const void *nul = std::memchr(start, '\0', static_cast<size_t>(end - start))) {
        // A C string would end here and the rest of the field be lost; a
        // file of NUL bytes is UTF-16 or binary, not text.
        const int before = static_cast<int>(std::count(start, static_cast<const char *>(nul), '\t'));
        throw TEFormatException(1, fieldName(before < 7 ? before : 6),
                                "holds a NUL byte; a T&E file is plain text (UTF-8 or ASCII)");
    }
    for (;;) {
        const char *tab = static_cast<const char *>(std::memchr(start, '\t', static_cast<size_t>(end - start)));
        const char *stop = tab ? tab : end;
        if (tabs < 7) fields[tabs] = {start, stop};
        if (!tab) break;
        start = tab + 1;
        ++tabs;
    }
    if (tabs < kMinimumTabs) {
        throw TEFormatException(1, "", std::to_string(tabs) + (tabs == 1 ? " TAB" : " TABs") +
                                           ", a point line needs 6 (seven fields)");
    }

    TEPoint point;
    point.id.assign(fields[0].begin, fields[0].end);
    std::string problem;
    double coordinates[2] = {0.0, 0.0};
    for (int index = 1; index <= 2; ++index) {
        double &value = coordinates[index - 1];
        char letter = 0;
        if (!ReadCoordinate(fields[index], value, letter, problem)) {
            throw TEFormatException(1, fieldName(index), problem);
        }
        // A geographic file puts the latitude first.
        const bool latitude = unitsAreDegrees && index == 1;
        if (letter && !unitsAreDegrees) {
            problem = fields[index].quoted() + ": a map coordinate takes no hemisphere letter";
        } else if (letter && latitude != (letter == 'N' || letter == 'S')) {
            problem = fields[index].quoted() + (latitude ? ": a latitude takes N or S" : ": a longitude takes E or W");
        } else if (unitsAreDegrees && !latitude && std::fabs(value) > 360.0) {
            problem = fields[index].quoted() + " lies outside -360 to 360 degrees";
        } else {
            continue;
        }
        throw TEFormatException(1, fieldName(index), problem);
    }
    // A geographic file puts the north value first; a map file puts X first.
    point.latitude = coordinates[unitsAreDegrees ? 0 : 1];
    point.longitude = coordinates[unitsAreDegrees ? 1 : 0];
    double *lengths[3] = {&point.elevation, &point.circularError90, &point.linearError90};
    for (int index = 3; index <= 5; ++index) {
        if (!ReadLength(fields[index], *lengths[index - 3], problem))
            throw TEFormatException(1, fieldName(index), problem);
    }
    point.description.assign(fields[6].begin, fields[6].end);
    return point;
}

void TEPointLoader::saveFile(const char *fileName, bool unitsAreDegrees, const std::vector<TEPoint> &points) {
    if (!fileName) return;
    static const char kWriteMessage[] = "Error writing T&E file %s.";
    ZOT_OutputFile out;
    Zerr_Report *reason = nullptr;
    if (!OpenOutputFile(&reason, fileName, &out)) {
        ThrowFile("TEPointLoader::saveFile", __LINE__, kWriteMessage, fileName, reason);
    }
    // A first ID that begins with the byte order mark would lose it when read
    // again (the mark is skipped there): a mark of the file's own keeps it.
    if (!points.empty() && points[0].id.compare(0, 3, kByteOrderMark) == 0) WriteOutputText(&out, kByteOrderMark);
    std::string line;
    for (size_t index = 0; index < points.size() && !out.failed; ++index) {
        const TEPoint &point = points[index];
        line.clear();
        AppendText(line, point.id);
        line += '\t';
        if (unitsAreDegrees) {
            AppendDegrees(line, point.latitude);
            line += '\t';
            AppendDegrees(line, point.longitude);
        } else {
            AppendNumber(line, point.longitude);
            line += '\t';
            AppendNumber(line, point.latitude);
        }
        for (double value : {point.elevation, point.circularError90, point.linearError90}) {
            line += '\t';
            AppendNumber(line, value);
        }
        line += '\t';
        AppendText(line, point.description);
        line += "\r\n";
        WriteOutputText(&out, line.c_str());
    }
    if (!CloseOutputFile(&reason, &out, true)) {
        ThrowFile("TEPointLoader::saveFile", __LINE__, kWriteMessage, fileName, reason);
    }
}

double TEPointLoader::parseCoordinate(const std::string &field) {
    double value = 0.0;
    char letter = 0;
    std::string problem;
    if (!ReadCoordinate({field.data(), field.data() + field.size()}, value, letter, problem))
        throw TEFormatException(1, "", problem);
    return value;
}

void TEPointLoader::splitDegrees(double value, int &degrees, int &minutes, double &seconds) {
    double whole = 0.0;
    SplitExact(value, whole, minutes, seconds);
    // Whole degrees beyond the range of int (no real angle) are clamped rather
    // than converted with undefined behaviour.
    const double limit = static_cast<double>(std::numeric_limits<int>::max());
    degrees = static_cast<int>(whole > limit ? limit : (whole < -limit ? -limit : whole));
}
