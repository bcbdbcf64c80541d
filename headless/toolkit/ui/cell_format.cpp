// Cell texts: formatting numbers, degrees and colours, and reading typed text.
#include "toolkit/ui/cell_format.h"

#include "toolkit/core/core_support.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace zui {

const char *const kLatitudeFormat = "dg mm ssssss N/S";
const char *const kLongitudeFormat = "dg mm ssssss E/W";

namespace {

// Formats longer than this, or with wider fields, are refused, so that a
// conversion's text is only as long as the value needs.
const size_t kMaxFormatLength = 64;
const int kMaxFieldDigits = 2;

// Beyond this many degrees a value is no position, and the seconds arithmetic
// below would overflow; such values are shown as plain numbers.
const double kMaxDmsDegrees = 1.0e6;

bool IsLatitude(const std::string &format) { return format == kLatitudeFormat; }
bool IsLongitude(const std::string &format) { return format == kLongitudeFormat; }

// Reads at most kMaxFieldDigits digits; false when there are more.
bool SkipDigits(const std::string &format, size_t *i) {
    int digits = 0;
    while (*i < format.size() && std::isdigit(static_cast<unsigned char>(format[*i]))) {
        ++*i;
        if (++digits > kMaxFieldDigits) return false;
    }
    return true;
}

// The text as a finite double; surrounding white space allowed, nothing else
// (not even a NUL byte inside the text).
bool ReadDouble(const std::string &text, double *value) {
    const char *begin = text.c_str();
    const char *const stop = begin + text.size();
    while (std::isspace(static_cast<unsigned char>(*begin))) ++begin;
    if (*begin == '\0') return false;
    char *end = nullptr;
    const double v = std::strtod(begin, &end);
    if (end == begin) return false;
    while (std::isspace(static_cast<unsigned char>(*end))) ++end;
    if (end != stop || !std::isfinite(v)) return false;
    *value = v;
    return true;
}

// Splits on white space, and on the extra separator characters given.
std::vector<std::string> Split(const std::string &text, const char *separators) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : text) {
        const bool separator = std::isspace(static_cast<unsigned char>(c)) || std::strchr(separators, c);
        if (separator) {
            if (!current.empty()) parts.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) parts.push_back(current);
    return parts;
}

bool ParseDegrees(const std::string &text, bool latitude, double *value, std::string *why) {
    const char positive = latitude ? 'N' : 'E';
    const char negative = latitude ? 'S' : 'W';
    std::vector<std::string> parts = Split(text, ":");
    const std::vector<std::string> typed = parts;
    if (parts.empty()) {
        *why = "an empty text is not an angle";
        return false;
    }
    // A hemisphere letter, on its own or after the last number.
    int hemisphere = 0;
    std::string &last = parts.back();
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(last.back())));
    if (letter == positive || letter == negative) {
        hemisphere = letter == positive ? 1 : -1;
        last.pop_back();
        if (last.empty()) parts.pop_back();
    }
    if (parts.empty() || parts.size() > 3) {
        *why = std::string("expected degrees, minutes and seconds with ") + positive + " or " + negative;
        return false;
    }
    double numbers[3] = {0, 0, 0};
    for (size_t i = 0; i < parts.size(); ++i) {
        if (!ReadDouble(parts[i], &numbers[i])) {
            // Named as typed: the hemisphere letter taken off "nan" leaves "na".
            *why = zhc::QuotedForError(text) + " is not " +
                   (typed.size() == 1 ? std::string("a number")
                                      : "an angle: " + zhc::QuotedForError(typed[i]) + " is not a number");
            return false;
        }
    }
    const bool negativeSign = !parts[0].empty() && parts[0][0] == '-';
    if (negativeSign && hemisphere != 0) {
        *why = "a negative angle with a hemisphere letter is ambiguous";
        return false;
    }
    if (parts.size() > 1) {
        if (numbers[0] != std::floor(numbers[0])) {
            *why = "the degrees must be whole when minutes follow";
            return false;
        }
        if (numbers[1] < 0 || numbers[1] >= 60 || (parts.size() > 2 && numbers[1] != std::floor(numbers[1]))) {
            *why = "the minutes must be from 0 to 59";
            return false;
        }
        if (numbers[2] < 0 || numbers[2] >= 60) {
            *why = "the seconds must be from 0 to less than 60";
            return false;
        }
    }
    double degrees = std::fabs(numbers[0]) + numbers[1] / 60.0 + numbers[2] / 3600.0;
    if (negativeSign || hemisphere < 0) degrees = -degrees;
    const double limit = latitude ? 90.0 : 180.0;
    if (std::fabs(degrees) > limit) {
        *why = latitude ? "a latitude lies from 90 S to 90 N" : "a longitude lies from 180 W to 180 E";
        return false;
    }
    *value = degrees;
    return true;
}

}  // namespace

bool NumberFormatValid(const std::string &format) {
    if (format.empty() || IsLatitude(format) || IsLongitude(format)) return true;
    if (format.size() > kMaxFormatLength) return false;
    int conversions = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') continue;
        ++i;
        if (i < format.size() && format[i] == '%') continue;
        while (i < format.size() && std::strchr("-+ #0", format[i])) ++i;
        if (!SkipDigits(format, &i)) return false;
        if (i < format.size() && format[i] == '.') {
            ++i;
            if (!SkipDigits(format, &i)) return false;
        }
        if (i >= format.size() || !std::strchr("fFeEgG", format[i])) return false;
        ++conversions;
    }
    return conversions == 1;
}

// printf of one double, as long as it takes: %f of a large value runs to
// hundreds of digits, and a text cut short would show a wrong number.
static std::string PrintDouble(const char *format, double value) {
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    char text[128];
    const int length = std::snprintf(text, sizeof text, format, value);
    if (length < 0) return std::string();
    if (static_cast<size_t>(length) < sizeof text) return std::string(text, static_cast<size_t>(length));
    std::string whole(static_cast<size_t>(length), '\0');
    std::snprintf(&whole[0], whole.size() + 1, format, value);
#pragma GCC diagnostic pop
    return whole;
}

std::string FormatNumber(double value, const std::string &format) {
    char text[256];
    const bool latitude = IsLatitude(format);
    if ((latitude || IsLongitude(format)) && std::isfinite(value) && std::fabs(value) < kMaxDmsDegrees) {
        // Rounded to whole thousandths of a second first, so that 59.9996
        // seconds carries into the minutes instead of showing 60.000.
        const long long thousandths = std::llround(std::fabs(value) * 3600.0 * 1000.0);
        const long long degrees = thousandths / 3600000;
        const long long minutes = thousandths / 60000 % 60;
        const double seconds = static_cast<double>(thousandths % 60000) / 1000.0;
        const bool south = value < 0 && thousandths > 0;
        const char hemisphere = latitude ? (south ? 'S' : 'N') : (south ? 'W' : 'E');
        std::snprintf(text, sizeof text, "%lld %02lld %06.3f %c", degrees, minutes, seconds, hemisphere);
        return text;
    }
    if (format.empty() || latitude || IsLongitude(format) || !NumberFormatValid(format))
        return PrintDouble("%.3f", value);
    // NumberFormatValid admits exactly one bounded conversion of a double.
    return PrintDouble(format.c_str(), value);
}

std::string FormatColour(const double rgba[4]) {
    char text[128];
    std::snprintf(text, sizeof text, "%.3f %.3f %.3f %.3f", rgba[0], rgba[1], rgba[2], rgba[3]);
    return text;
}

bool ParseNumberText(const std::string &text, const std::string &format, double *value, std::string *why) {
    if (IsLatitude(format) || IsLongitude(format)) return ParseDegrees(text, IsLatitude(format), value, why);
    if (!ReadDouble(text, value)) {
        *why = zhc::QuotedForError(text) + " is not a number";
        return false;
    }
    return true;
}

bool ParseColourText(const std::string &text, double rgba[4], std::string *why) {
    const std::vector<std::string> parts = Split(text, ",");
    if (parts.size() != 3 && parts.size() != 4) {
        *why = "a colour is three or four components from 0 to 1 (red green blue [alpha])";
        return false;
    }
    double read[4] = {0, 0, 0, 1};
    for (size_t i = 0; i < parts.size(); ++i) {
        if (!ReadDouble(parts[i], &read[i]) || read[i] < 0 || read[i] > 1) {
            *why = "colour component " + zhc::QuotedForError(parts[i]) + " is not a number from 0 to 1";
            return false;
        }
    }
    for (int i = 0; i < 4; ++i) rgba[i] = read[i];
    return true;
}

}  // namespace zui
