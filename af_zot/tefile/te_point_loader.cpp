// Reading and writing T&E files: one reference point a line, seven TAB-separated
// fields (ID, two coordinates, elevation, CE90, LE90, description).
//
// Numbers are read and written without the C locale functions (from_chars and
// to_chars), so a host that changes the process locale cannot change the file
// format. A value that reads as infinite or not-a-number makes its line invalid:
// one such value would poison every statistic of the set.
#include "te_point_loader.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <stdexcept>
#include <system_error>

#include "zarvolog.h"

namespace {

const char *const kSource = "TEPointLoader";
const char *const kFormatMessage = "Incorrect format for T&E File.";
const int kMinimumTabs = 6;
// The doubles nearest 1/60 and 1/3600.
const double kPerMinute = 0.016666666666666666;
const double kPerSecond = 0.0002777777777777778;
// Every double is written with this many significant digits.
const int kDigits = 11;

typedef ZarvoLog::CPPException<std::invalid_argument> FormatException;
typedef ZarvoLog::CPPException<std::runtime_error> FileException;

[[noreturn]] void throwFormat(int lineNumber) {
    throw FormatException(kSource, "TEPointLoader::processLine", lineNumber, kFormatMessage);
}

// line is the source line that raises, for the log.
[[noreturn]] void throwFile(const char *operation, int line, const char *format, const char *fileName) {
    const int length = std::snprintf(nullptr, 0, format, fileName);
    std::string message(length > 0 ? static_cast<size_t>(length) : 0, '\0');
    std::snprintf(&message[0], message.size() + 1, format, fileName);
    throw FileException(kSource, operation, line, message);
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A cursor over one field; every reader advances it past what it read and
// leaves it in place when it finds no number.
struct Cursor {
    const char *at;
    const char *end;

    void skipSpace() {
        while (at < end && isSpace(*at)) ++at;
    }
    bool peek(char c) const { return at < end && *at == c; }
};

// The value of the digits (and decimal point and exponent) in text, which holds
// no sign. Values beyond the range of a double come back infinite (to be
// rejected) or as zero (underflow), as strtod gives them.
double decimalValue(const char *begin, const char *end) {
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
    for (; p < end && (isDigit(*p) || *p == '.'); ++p) {
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
        for (; p < end && isDigit(*p); ++p) {
            if (exponent < 1000000000) exponent = exponent * 10 + (*p - '0');
        }
        if (negative) exponent = -exponent;
    }
    return leadingPlace + exponent > 0 ? std::numeric_limits<double>::infinity() : 0.0;
}

// Reads [space][sign] digits [. digits] [e [sign] digits] at the cursor, the
// longest such prefix. Returns false (cursor unmoved) when no digit is there.
// The words inf, infinity and nan read as the values they name, so that they
// are rejected rather than taken as zero.
bool readDecimal(Cursor &c, double &value) {
    Cursor start = c;
    c.skipSpace();
    bool negative = false;
    if (c.peek('+') || c.peek('-')) {
        negative = *c.at == '-';
        ++c.at;
    }
    for (const char *word : {"infinity", "inf", "nan"}) {
        size_t i = 0;
        while (word[i] && c.at + i < c.end && (c.at[i] | 0x20) == word[i]) ++i;
        if (!word[i]) {
            c.at += i;
            value = word[0] == 'n' ? std::numeric_limits<double>::quiet_NaN()
                                   : std::numeric_limits<double>::infinity();
            if (negative) value = -value;
            return true;
        }
    }
    const char *digitsBegin = c.at;
    size_t mantissaDigits = 0;
    while (c.at < c.end && isDigit(*c.at)) ++c.at, ++mantissaDigits;
    if (c.peek('.')) {
        ++c.at;
        while (c.at < c.end && isDigit(*c.at)) ++c.at, ++mantissaDigits;
    }
    if (mantissaDigits == 0) {
        c = start;
        return false;
    }
    if (c.peek('e') || c.peek('E')) {
        const char *mark = c.at;
        ++c.at;
        if (c.peek('+') || c.peek('-')) ++c.at;
        if (c.at < c.end && isDigit(*c.at)) {
            while (c.at < c.end && isDigit(*c.at)) ++c.at;
        } else {
            c.at = mark;  // "1e" reads as 1, the "e" is trailing text
        }
    }
    value = decimalValue(digitsBegin, c.at);
    if (negative) value = -value;
    return true;
}

// Reads [space][sign] digits at the cursor; minus tells whether a minus sign was
// written (so that -0 keeps its sign). The value is a double so that no count of
// digits can overflow it.
bool readInteger(Cursor &c, double &value, bool &minus) {
    Cursor start = c;
    c.skipSpace();
    minus = false;
    if (c.peek('+') || c.peek('-')) {
        minus = *c.at == '-';
        ++c.at;
    }
    const char *digitsBegin = c.at;
    while (c.at < c.end && isDigit(*c.at)) ++c.at;
    if (c.at == digitsBegin) {
        c = start;
        return false;
    }
    value = decimalValue(digitsBegin, c.at);
    if (minus) value = -value;
    return true;
}

// The separator between two parts: a colon in the D:M:S form; in the D M S
// form the white space that the next reader skips.
bool readSeparator(Cursor &c, bool colons) {
    if (!colons) return true;
    if (!c.peek(':')) return false;
    ++c.at;
    return true;
}

// D M S (separated by white space) or D:M:S. Parts that cannot be read are 0,
// and reading stops at the first of them.
double parseDegreesMinutesSeconds(const std::string &field, bool colons) {
    Cursor c{field.data(), field.data() + field.size()};
    double degrees = 0.0;
    double minutes = 0.0;
    double seconds = 0.0;
    bool minus = false;
    bool ignoredSign = false;
    if (readInteger(c, degrees, minus) && readSeparator(c, colons) && readInteger(c, minutes, ignoredSign) &&
        readSeparator(c, colons)) {
        readDecimal(c, seconds);
    }
    const double value = std::fabs(degrees) + minutes * kPerMinute + seconds * kPerSecond;
    return minus ? -value : value;
}

double parseNumber(const std::string &field) {
    Cursor c{field.data(), field.data() + field.size()};
    double value = 0.0;
    readDecimal(c, value);
    return value;
}

// splitDegrees with the whole degrees as a double, which holds any finite value
// exactly; non-finite values come back whole in the seconds.
void splitExact(double value, double &wholeDegrees, int &minutes, double &seconds) {
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

void appendNumber(std::string &out, double value) {
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

// A TAB or line feed inside a text field would split the field or the line and
// make the whole file unreadable; they are written as spaces.
void appendText(std::string &out, const std::string &text) {
    for (char c : text) out += (c == '\t' || c == '\n') ? ' ' : c;
}

// D M S with single spaces; the sign comes from the value, since the whole
// degrees of a value between -1 and 0 are 0.
void appendDegrees(std::string &out, double value) {
    if (!std::isfinite(value)) {
        appendNumber(out, value);
        return;
    }
    double whole = 0.0;
    int minutes = 0;
    double seconds = 0.0;
    splitExact(value, whole, minutes, seconds);
    if (value < 0) out += '-';
    char text[400];
    // %.0f writes the whole degrees exactly, however large; the format does not
    // depend on the locale as no decimal point is written.
    std::snprintf(text, sizeof text, "%.0f %d ", std::fabs(whole), minutes);
    out += text;
    appendNumber(out, seconds);
}

}  // namespace

void TEPointLoader::loadFile(const char *fileName, bool unitsAreDegrees, std::vector<TEPoint> &points) {
    if (!fileName) return;
    std::error_code ignored;
    // Only a regular file is a T&E file: a folder opens for reading but reads as
    // empty, a device such as /dev/zero never ends, and a pipe may never deliver.
    std::ifstream in;
    if (std::filesystem::is_regular_file(fileName, ignored)) in.open(fileName, std::ios::in | std::ios::binary);
    if (!in.is_open()) throwFile("TEPointLoader::loadFile", __LINE__, "Error opening T&E file %s.", fileName);
    std::string line;
    int lineNumber = 0;
    // getline succeeds for a last line without a line feed too, and fails when
    // nothing follows the last line feed: that is no line.
    while (std::getline(in, line)) {
        if (lineNumber < std::numeric_limits<int>::max()) ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        try {
            points.push_back(processLine(unitsAreDegrees, line));
        } catch (const FormatException &) {
            throwFormat(lineNumber);
        }
    }
    // A read that failed (an I/O error, or a line too long for memory) is no end
    // of file: the points read so far are not all of the file's.
    if (in.bad()) throwFile("TEPointLoader::loadFile", __LINE__, "Error reading T&E file %s.", fileName);
}

TEPoint TEPointLoader::processLine(bool unitsAreDegrees, const std::string &line) {
    size_t tabs = 0;
    for (char c : line) tabs += (c == '\t');
    // A single line is line 1 of itself; loadFile gives the line in the file.
    if (tabs < static_cast<size_t>(kMinimumTabs)) throwFormat(1);

    std::string fields[7];
    size_t start = 0;
    for (int i = 0; i < 7; ++i) {
        const size_t tab = line.find('\t', start);
        const size_t stop = tab == std::string::npos ? line.size() : tab;
        fields[i] = line.substr(start, stop - start);
        start = stop + 1;
    }

    TEPoint point;
    point.id = fields[0];
    const double first = parseCoordinate(fields[1]);
    const double second = parseCoordinate(fields[2]);
    // A geographic file puts the north value first; a map file puts X first.
    if (unitsAreDegrees) {
        point.latitude = first;
        point.longitude = second;
    } else {
        point.longitude = first;
        point.latitude = second;
    }
    point.elevation = parseNumber(fields[3]);
    point.circularError90 = parseNumber(fields[4]);
    point.linearError90 = parseNumber(fields[5]);
    point.description = fields[6];
    for (double value :
         {point.latitude, point.longitude, point.elevation, point.circularError90, point.linearError90}) {
        if (!std::isfinite(value)) throwFormat(1);
    }
    return point;
}

void TEPointLoader::saveFile(const char *fileName, bool unitsAreDegrees, const std::vector<TEPoint> &points) {
    if (!fileName) return;
    std::ofstream out(fileName, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!out.is_open()) throwFile("TEPointLoader::saveFile", __LINE__, "Error writing T&E file %s.", fileName);
    std::string line;
    for (const TEPoint &point : points) {
        line.clear();
        appendText(line, point.id);
        line += '\t';
        if (unitsAreDegrees) {
            appendDegrees(line, point.latitude);
            line += '\t';
            appendDegrees(line, point.longitude);
        } else {
            appendNumber(line, point.longitude);
            line += '\t';
            appendNumber(line, point.latitude);
        }
        for (double value : {point.elevation, point.circularError90, point.linearError90}) {
            line += '\t';
            appendNumber(line, value);
        }
        line += '\t';
        appendText(line, point.description);
        line += "\r\n";
        if (!out.write(line.data(), static_cast<std::streamsize>(line.size()))) break;
    }
    out.close();
    // close flushes; a failed write or flush (a full disk) leaves the stream failed.
    if (out.fail()) throwFile("TEPointLoader::saveFile", __LINE__, "Error writing T&E file %s.", fileName);
}

double TEPointLoader::parseCoordinate(const std::string &field) {
    if (field.find(' ') != std::string::npos) return parseDegreesMinutesSeconds(field, false);
    if (field.find(':') != std::string::npos) return parseDegreesMinutesSeconds(field, true);
    return parseNumber(field);
}

void TEPointLoader::splitDegrees(double value, int &degrees, int &minutes, double &seconds) {
    double whole = 0.0;
    splitExact(value, whole, minutes, seconds);
    // Whole degrees beyond the range of int (no real angle) are clamped rather
    // than converted with undefined behaviour.
    const double limit = static_cast<double>(std::numeric_limits<int>::max());
    degrees = static_cast<int>(whole > limit ? limit : (whole < -limit ? -limit : whole));
}
