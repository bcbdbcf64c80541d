// Words of the session language: splitting lines, reading arguments, and the
// small texts of the transcript.
#include "session/words.h"

#include <errno.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <limits>
#include <sstream>

#include "session/session.h"

namespace zses {

void Malformed(const std::string &message) { throw LineError{message}; }

void ArgCount(const Words &w, size_t low, size_t high, const char *usage) {
    const size_t given = w.size() - 1;
    if (given < low || given > high) Malformed(std::string("usage: ") + usage);
}

std::string Join(const Words &words, size_t from, const char *separator) {
    std::string text;
    for (size_t i = from; i < words.size(); ++i) {
        if (i > from) text += separator;
        text += words[i];
    }
    return text;
}

std::string Lower(std::string text) {
    for (char &c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Quoted(const std::string &text) { return "\"" + text + "\""; }

std::string Fixed(double value, int decimals) {
    std::ostringstream text;
    text << std::fixed << std::setprecision(decimals) << value;
    return text.str();
}

std::string IndentLines(const std::string &text, const std::string &prefix) {
    std::string out;
    for (char c : text) {
        out += c;
        if (c == '\n') out += prefix;
    }
    while (!out.empty() && (out.back() == ' ' || out.back() == '\n')) out.pop_back();
    return out;
}

std::string FirstLine(const std::string &text) { return text.substr(0, text.find('\n')); }

bool LeadingNumber(const std::string &text, double *value) {
    const char *start = text.c_str();
    char *end = nullptr;
    double parsed = std::strtod(start, &end);
    if (end == start || !std::isfinite(parsed)) return false;
    *value = parsed;
    return true;
}

bool ParseInteger(const std::string &word, long long low, long long high, long long *value) {
    if (word.empty() || std::isspace(static_cast<unsigned char>(word[0]))) return false;
    errno = 0;
    char *end = nullptr;
    long long parsed = std::strtoll(word.c_str(), &end, 10);
    if (errno == ERANGE || *end != '\0' || parsed < low || parsed > high) return false;
    *value = parsed;
    return true;
}

double NumberArg(const std::string &word, const char *what) {
    double value = 0;
    char *end = nullptr;
    if (!word.empty() && !std::isspace(static_cast<unsigned char>(word[0]))) value = std::strtod(word.c_str(), &end);
    if (!end || *end != '\0' || !std::isfinite(value))
        Malformed(std::string(what) + " must be a finite number, not \"" + word + "\"");
    return value;
}

long long CountArg(const std::string &word, const char *what) {
    long long value = 0;
    if (!ParseInteger(word, 0, std::numeric_limits<int32_t>::max(), &value))
        Malformed(std::string(what) + " must be a whole number from 0 to " +
                  std::to_string(std::numeric_limits<int32_t>::max()) + ", not \"" + word + "\"");
    return value;
}

int32_t RowArg(const std::string &word) {
    long long value = 0;
    if (!ParseInteger(word, 1, std::numeric_limits<int32_t>::max(), &value))
        Malformed("a row number must be a whole number from 1 to " +
                  std::to_string(std::numeric_limits<int32_t>::max()) + ", not \"" + word + "\"");
    return static_cast<int32_t>(value - 1);
}

std::vector<int32_t> RowsArg(const Words &w, size_t from) {
    std::vector<int32_t> rows;
    for (size_t i = from; i < w.size(); ++i) rows.push_back(RowArg(w[i]));
    return rows;
}

std::string RowName(int32_t row) { return row < 0 ? "none" : std::to_string(static_cast<long long>(row) + 1); }

int32_t ColumnNumber(const std::string &word) {
    long long column = 0;
    return ParseInteger(word, 0, std::numeric_limits<int32_t>::max(), &column) ? static_cast<int32_t>(column) : -1;
}

int ImageArg(const std::string &word) {
    const std::string image = Lower(word);
    if (image != "left" && image != "right") Malformed("the image must be left or right, not \"" + word + "\"");
    return image == "left" ? 0 : 1;
}

int ViewArg(const std::string &word) {
    const std::string view = Lower(word);
    if (view != "main" && view != "zoom" && view != "zoomed")
        Malformed("the pane must be main or zoom, not \"" + word + "\"");
    return view == "main" ? 0 : 1;
}

PaneId PaneArg(const std::string &image, const std::string &view) {
    PaneId id;
    id.image = ImageArg(image);
    id.view = ViewArg(view);
    return id;
}

bool ReadWholeFile(const std::string &path, std::string *bytes) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    *bytes = buffer.str();
    return !in.bad();
}

bool SplitSessionLine(const std::string &line, std::vector<std::string> *words, std::string *error) {
    words->clear();
    size_t i = 0;
    const size_t n = line.size();
    if (line.find('\0') != std::string::npos) {
        *error = "the line holds a NUL character";
        return false;
    }
    while (i < n) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
            ++i;
            continue;
        }
        if (c == '#') break;
        std::string word;
        if (c != '"') {
            while (i < n && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '\f' &&
                   line[i] != '\v') {
                if (line[i] == '"') {
                    *error = "a quote inside a word (quote the whole word)";
                    return false;
                }
                word += line[i++];
            }
            words->push_back(word);
            continue;
        }
        const size_t opened = i++;
        bool closed = false;
        while (i < n) {
            const char q = line[i++];
            if (q == '"') {
                closed = true;
                break;
            }
            if (q != '\\') {
                word += q;
                continue;
            }
            if (i >= n) break;
            const char e = line[i++];
            switch (e) {
                case '"':
                    word += '"';
                    break;
                case '\\':
                    word += '\\';
                    break;
                case 'n':
                    word += '\n';
                    break;
                case 't':
                    word += '\t';
                    break;
                default:
                    *error = std::string("unknown escape \\") + e + " in quoted text (use \\\" \\\\ \\n or \\t)";
                    return false;
            }
        }
        if (!closed) {
            *error = "the quote opened at column " + std::to_string(opened + 1) + " is not closed";
            return false;
        }
        if (i < n && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '#') {
            *error = "quoted text must be followed by a blank";
            return false;
        }
        words->push_back(word);
    }
    return true;
}

}  // namespace zses
