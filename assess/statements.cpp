// The statements of accuracy in the standards' own words, and the text helpers
// the outputs share.
#include <cmath>
#include <cstdio>

#include "assess.h"
#include "text.h"

namespace zassess {

std::string Fixed(double value, int decimals) {
    if (std::isnan(value)) return "n/a";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

std::string EscapeHtml(const std::string &text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '"': escaped += "&quot;"; break;
            case '\'': escaped += "&#39;"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

std::string ValidUtf8(const std::string &text) {
    std::string valid;
    valid.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const unsigned char lead = static_cast<unsigned char>(text[i]);
        // The length of the sequence lead starts and the bounds of its second byte.
        size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (lead < 0x80) length = 1;
        else if (lead >= 0xC2 && lead <= 0xDF) length = 2;
        else if (lead >= 0xE0 && lead <= 0xEF) length = 3, low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
        else if (lead >= 0xF0 && lead <= 0xF4) length = 4, low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
        bool wellFormed = length > 0 && i + length <= text.size();
        for (size_t k = 1; wellFormed && k < length; ++k) {
            const unsigned char c = static_cast<unsigned char>(text[i + k]);
            wellFormed = k == 1 ? c >= low && c <= high : c >= 0x80 && c <= 0xBF;
        }
        if (wellFormed) {
            valid.append(text, i, length);
            i += length;
        } else {
            valid += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return valid;
}

std::string CsvField(const std::string &text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (const char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

namespace {

const char *const kAsprsTitle = "ASPRS Positional Accuracy Standards for Digital Geospatial Data, Edition 2 (2023)";

std::string Centimetres(double metres) { return Fixed(metres * 100.0, 1); }

// The smallest whole-centimetre accuracy class the tested RMSE meets.
std::string ClassCentimetres(double metres) {
    return Fixed(std::ceil(metres * 100.0 - 1e-9), 0);
}

// One ASPRS statement: tested to meet (30 checkpoints or more) or the reduced
// form that says how few were used.
std::string AsprsStatement(size_t count, const std::string &classText, const std::string &finding) {
    const std::string checkpoints = std::to_string(count);
    if (count >= kAsprsMinimum) {
        return "This data set was tested to meet " + std::string(kAsprsTitle) + " for a " + classText + ". " +
               finding + ".";
    }
    return "This data set was tested as required by " + std::string(kAsprsTitle) +
           ". Although the Standards call for a minimum of thirty (30) checkpoints, this test was performed "
           "using ONLY " + checkpoints + " checkpoint" + (count == 1 ? "" : "s") +
           ". This data set was produced to meet a " + classText + ". " + finding +
           " using the reduced number of checkpoints.";
}

}  // namespace

Statements MakeStatements(const ResidualSet &set, const Figures &f) {
    Statements s;
    if (f.count == 0) {
        s.nssda = "No checkpoints: no accuracy can be stated.";
        s.asprsHorizontal = s.nssda;
        if (set.vertical) s.asprsVertical = s.nssda;
        return s;
    }
    const std::string horizontal = Fixed(f.nssdaHorizontal, 3) + " meters horizontal accuracy";
    const std::string vertical = Fixed(f.nssdaVertical, 3) + " meters vertical accuracy";
    const std::string level = " at 95% confidence level";
    const bool hasHorizontal = !std::isnan(f.nssdaHorizontal);
    const std::string ratioNote = "No NSSDA horizontal value: RMSEmin/RMSEmax = " + Fixed(f.nssdaRatio, 2) +
                                  " is below 0.6, where the standard's circular approximation holds.";
    if (f.count >= kNssdaMinimum) {
        if (hasHorizontal && set.vertical) {
            s.nssda = "Tested " + horizontal + level + "; " + vertical + level + ".";
        } else if (hasHorizontal) {
            s.nssda = "Tested " + horizontal + level + ".";
        } else {
            s.nssda = ratioNote + (set.vertical ? " Tested " + vertical + level + "." : "");
        }
    } else {
        s.nssda = "No NSSDA statement: the standard requires at least 20 checkpoints and this test has " +
                  std::to_string(f.count) + ". The 95% values from them: " +
                  (hasHorizontal ? horizontal : std::string("no horizontal value (RMSEmin/RMSEmax below 0.6)")) +
                  (set.vertical ? ", " + vertical : std::string()) + ".";
    }
    s.asprsHorizontal = AsprsStatement(
        f.count, ClassCentimetres(f.asprsRmseH) + " cm RMSE_H Horizontal Positional Accuracy Class",
        "The tested horizontal positional accuracy was found to be RMSE_H = " + Centimetres(f.asprsRmseH) + " cm");
    if (set.vertical) {
        s.asprsVertical =
            AsprsStatement(f.count, ClassCentimetres(f.asprsRmseV) + " cm RMSE_V Vertical Accuracy Class",
                           "NVA accuracy was found to be RMSE_V = " + Centimetres(f.asprsRmseV) + " cm");
    }
    return s;
}

}  // namespace zassess
