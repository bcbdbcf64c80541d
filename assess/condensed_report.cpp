// The condensed report, read back: title, units line, statistics (which tell
// the form and whether elevations were measured), header line, then one
// comma-separated line of sixteen fields per measured point.
#include "condensed_report.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include "constants.h"

namespace zassess {

namespace {

const char *const kGeographicHeader[16] = {
    "ID", "T&E Latitude", "T&E Longitude", "T&E Elevation", "T&E CE90", "T&E LE90", "T&E Description",
    "Measured Latitude", "Measured Longitude", "Measured Elevation", "Delta Latitude", "Delta Longitude",
    "Delta Elevation", "Mensuration Error", "Individual HE", "Individual VE"};
const char *const kMapHeader[16] = {
    "ID", "T&E X", "T&E Y", "T&E Elevation", "T&E CE90", "T&E LE90", "T&E Description", "Measured X", "Measured Y",
    "Measured Elevation", "Delta X", "Delta Y", "Delta Elevation", "Mensuration Error", "Individual HE",
    "Individual VE"};
const size_t kFields = 16;
const size_t kTrailingNumbers = 9;  // fields 8 to 16 follow the description

bool StartsWith(const std::string &text, const char *prefix) { return text.rfind(prefix, 0) == 0; }

// One CSV record from text at *pos: fields separated by commas, ended by LF
// (a CR before it is dropped) or the end. A field starting with a double quote
// runs to the matching quote, "" standing for one quote; a quote anywhere else
// is an ordinary byte, as the unquoted form writes it. *line counts the line
// breaks passed.
bool ReadRecord(const std::string &text, size_t *pos, size_t *line, std::vector<std::string> *fields,
                std::string *error) {
    fields->clear();
    const size_t startLine = *line;
    size_t i = *pos;
    for (;;) {
        std::string field;
        if (i < text.size() && text[i] == '"') {
            ++i;
            for (;;) {
                if (i >= text.size()) {
                    *error = "line " + std::to_string(startLine) + ": a quoted field has no closing quote";
                    return false;
                }
                if (text[i] == '"') {
                    if (i + 1 < text.size() && text[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                if (text[i] == '\n') ++*line;
                field += text[i++];
            }
            if (i < text.size() && text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            if (i < text.size() && text[i] != ',' && text[i] != '\n') {
                *error = "line " + std::to_string(*line) + ": text after the closing quote of a field";
                return false;
            }
        } else {
            while (i < text.size() && text[i] != ',' && text[i] != '\n') field += text[i++];
            if (!field.empty() && field.back() == '\r' && (i >= text.size() || text[i] == '\n')) field.pop_back();
        }
        fields->push_back(field);
        if (i >= text.size()) break;
        if (text[i++] == '\n') {
            ++*line;
            break;
        }
    }
    *pos = i;
    return true;
}

// A number written with %f, and nothing else.
bool ParseNumber(const std::string &text, double *value) {
    if (text.empty() || text[0] == ' ') return false;
    errno = 0;
    char *end = nullptr;
    *value = std::strtod(text.c_str(), &end);
    return errno == 0 && end == text.c_str() + text.size() && std::isfinite(*value);
}

// An angle written as %+d:%d:%f (signed degrees, minutes, seconds): "-0:30:0.000000" is -0.5.
bool ParseAngle(const std::string &text, double *value) {
    if (text.size() < 2 || (text[0] != '+' && text[0] != '-')) return false;
    const size_t first = text.find(':'), second = text.find(':', first + 1);
    if (first == std::string::npos || second == std::string::npos) return false;
    double degrees = 0, minutes = 0, seconds = 0;
    if (!ParseNumber(text.substr(1, first - 1), &degrees) ||
        !ParseNumber(text.substr(first + 1, second - first - 1), &minutes) ||
        !ParseNumber(text.substr(second + 1), &seconds) || degrees < 0 || minutes < 0 || seconds < 0) {
        return false;
    }
    *value = (text[0] == '-' ? -1.0 : 1.0) * (degrees + minutes / 60.0 + seconds / 3600.0);
    return true;
}

bool ParsePosition(const std::string &text, bool geographic, double *value) {
    return geographic ? ParseAngle(text, value) : ParseNumber(text, value);
}

std::string Join(const std::vector<std::string> &fields, size_t first, size_t last) {
    std::string joined;
    for (size_t i = first; i <= last; ++i) joined += (i == first ? "" : ",") + fields[i];
    return joined;
}

// Folds a line of more than sixteen fields, from an unquoted ID or description
// holding commas, back into sixteen: the ID takes as few extra fields as lets
// the five values after it read as the form's numbers; the description takes
// the rest up to the nine trailing numbers.
bool FoldExtraCommas(std::vector<std::string> *fields, bool geographic) {
    const size_t extra = fields->size() - kFields;
    for (size_t idEnd = 0; idEnd <= extra; ++idEnd) {
        double ignored = 0;
        bool numbers = ParsePosition((*fields)[idEnd + 1], geographic, &ignored) &&
                       ParsePosition((*fields)[idEnd + 2], geographic, &ignored);
        for (size_t k = idEnd + 3; numbers && k <= idEnd + 5; ++k) numbers = ParseNumber((*fields)[k], &ignored);
        if (!numbers) continue;
        const size_t descriptionEnd = fields->size() - kTrailingNumbers - 1;
        std::vector<std::string> folded;
        folded.push_back(Join(*fields, 0, idEnd));
        for (size_t k = idEnd + 1; k <= idEnd + 5; ++k) folded.push_back((*fields)[k]);
        folded.push_back(Join(*fields, idEnd + 6, descriptionEnd));
        for (size_t k = descriptionEnd + 1; k < fields->size(); ++k) folded.push_back((*fields)[k]);
        *fields = folded;
        return true;
    }
    return false;
}

}  // namespace

bool ReadCondensedReport(const std::string &input, ResidualSet *set, std::string *error) {
    *set = ResidualSet();
    const std::string text = StartsWith(input, "\xEF\xBB\xBF") ? input.substr(3) : input;
    size_t pos = 0, line = 1;
    std::vector<std::string> lines;  // the lines before the header, CR dropped
    double unit = 0;
    bool mapForm = false, geographicForm = false, formatted = false;
    std::string header;
    while (pos < text.size()) {
        const size_t end = text.find('\n', pos);
        std::string current = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        if (!current.empty() && current.back() == '\r') current.pop_back();
        const size_t lineNumber = line;
        pos = end == std::string::npos ? text.size() : end + 1;
        ++line;
        if (lineNumber == 1) {
            if (!StartsWith(current, "ZOT Report for ")) {
                *error = "line 1: not a ZOT report (it does not begin with \"ZOT Report for\")";
                return false;
            }
            set->title = current;
        } else if (current == "Distance values are in meters") {
            unit = 1.0;
        } else if (current == "Distance values are in feet") {
            unit = kFoot;
        } else if (StartsWith(current, "Mean latitude error:")) {
            geographicForm = true;
        } else if (StartsWith(current, "Mean X error:")) {
            mapForm = true;
        } else if (StartsWith(current, "Mean elevation error (average VE):")) {
            set->vertical = true;
        } else if (StartsWith(current, "|      ID|")) {
            formatted = true;
        } else if (StartsWith(current, "ID,")) {
            header = current;
            break;
        }
    }
    if (header.empty()) {
        *error = formatted ? "the report is in the formatted layout; assess reads the condensed layout "
                             "(write the report after `format condensed`)"
                           : "no condensed header line (ID,T&E ...) found";
        return false;
    }
    if (unit == 0 || geographicForm == mapForm) {
        *error = "the report lacks its units line or its statistics; it is not a whole report";
        return false;
    }
    set->geographic = geographicForm;
    const char *const *names = geographicForm ? kGeographicHeader : kMapHeader;
    std::vector<std::string> fields;
    size_t headerPos = 0, headerLine = line - 1;
    if (!ReadRecord(header, &headerPos, &headerLine, &fields, error)) return false;
    bool headerMatches = fields.size() == kFields;
    for (size_t k = 0; headerMatches && k < kFields; ++k) headerMatches = fields[k] == names[k];
    if (!headerMatches) {
        *error = "line " + std::to_string(line - 1) + ": the header line does not name the " +
                 (geographicForm ? "geographic" : "map") + " form's sixteen columns";
        return false;
    }

    while (pos < text.size()) {
        const size_t recordLine = line;
        if (!ReadRecord(text, &pos, &line, &fields, error)) return false;
        if (fields.size() == 1 && fields[0].empty()) continue;  // an empty line, e.g. the file's end
        if (fields.size() > kFields && !FoldExtraCommas(&fields, geographicForm)) {
            *error = "line " + std::to_string(recordLine) + ": " + std::to_string(fields.size()) +
                     " fields, and no way to read them as sixteen";
            return false;
        }
        if (fields.size() < kFields) {
            *error = "line " + std::to_string(recordLine) + ": " + std::to_string(fields.size()) +
                     " fields, a point line has 16";
            return false;
        }
        double value[kFields] = {0};
        for (size_t k = 0; k < kFields; ++k) {
            if (k == 0 || k == 6) continue;
            // Without a pixel size the tool writes no mensuration error: unknown, not zero.
            if (k == 13 && fields[k].empty()) {
                value[k] = std::numeric_limits<double>::quiet_NaN();
                continue;
            }
            const bool position = k == 1 || k == 2 || k == 7 || k == 8;
            if (!(position ? ParsePosition(fields[k], geographicForm, &value[k]) : ParseNumber(fields[k], &value[k]))) {
                *error = "line " + std::to_string(recordLine) + ", column " + std::to_string(k + 1) + " (" +
                         names[k] + "): \"" + fields[k] + "\" is not " +
                         (position && geographicForm ? "an angle such as +46:59:49.200000" : "a number");
                return false;
            }
        }
        Residual p;
        p.id = fields[0];
        p.description = fields[6];
        // The geographic form puts latitude first; the map form X first.
        p.refX = geographicForm ? value[2] : value[1];
        p.refY = geographicForm ? value[1] : value[2];
        p.measX = geographicForm ? value[8] : value[7];
        p.measY = geographicForm ? value[7] : value[8];
        p.refZ = value[3] * unit;
        p.refCE90 = value[4] * unit;
        p.refLE90 = value[5] * unit;
        p.measZ = value[9] * unit;
        p.dN = (geographicForm ? value[10] : value[11]) * unit;
        p.dE = (geographicForm ? value[11] : value[10]) * unit;
        p.dU = value[12] * unit;
        p.mensurationPixels = value[13];
        set->points.push_back(p);
    }
    return true;
}

}  // namespace zassess
