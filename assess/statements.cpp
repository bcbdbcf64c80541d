// The statements of accuracy in the standards' own words, and the text helpers
// the outputs share.
#include <cmath>
#include <cstdio>

#include "assess.h"
#include "constants.h"
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

double MetersPerUnit(Units units) {
    return units == Units::kFeet ? kFoot : units == Units::kUsSurveyFeet ? kUsSurveyFoot : 1.0;
}

const char *UnitName(Units units) {
    return units == Units::kFeet ? "feet" : units == Units::kUsSurveyFeet ? "US survey feet" : "meters";
}

const char *UnitSymbol(Units units) {
    return units == Units::kFeet ? "ft" : units == Units::kUsSurveyFeet ? "ftUS" : "m";
}

bool ParseUnits(const std::string &text, Units *units) {
    const struct {
        const char *name;
        Units units;
    } known[] = {{"m", Units::kMeters},   {"meters", Units::kMeters},         {"ft", Units::kFeet},
                 {"feet", Units::kFeet},  {"usft", Units::kUsSurveyFeet},     {"us-survey-feet", Units::kUsSurveyFeet}};
    for (const auto &k : known) {
        if (text == k.name) {
            *units = k.units;
            return true;
        }
    }
    return false;
}

size_t AsprsCheckpointsRequired(double areaKm2) {
    if (!(areaKm2 > kAsprsBaseAreaKm2)) return kAsprsMinimum;
    const double extra = std::ceil((areaKm2 - kAsprsBaseAreaKm2) / kAsprsStepAreaKm2 - 1e-9);
    return kAsprsMinimum + kAsprsStepCheckpoints * static_cast<size_t>(extra);
}

namespace {

std::string AsprsTitle(AsprsEdition edition) {
    return edition == AsprsEdition::kEdition2
               ? "ASPRS Positional Accuracy Standards for Digital Geospatial Data, Edition 2 (2023)"
               : "ASPRS Positional Accuracy Standards for Digital Geospatial Data, Edition 2, Version 2 (2024)";
}

std::string Centimetres(double meters) { return Fixed(meters * 100.0, 1); }

// The smallest whole-centimeter accuracy class the tested RMSE meets.
std::string ClassCentimetres(double meters) { return Fixed(std::ceil(meters * 100.0 - 1e-9), 0); }

// A class stated in centimeters, as few decimals as it needs.
std::string StatedClass(double cm) {
    std::string text = Fixed(cm, 2);
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text;
}

// One ASPRS statement. A stated class (producer mode) is the class named;
// otherwise the smallest class the tested value meets is, and only with the
// full count of checkpoints (a reduced test names no class it cannot back).
std::string AsprsStatement(const std::string &title, size_t count, double statedCm, double tested,
                           const std::string &classWords, const std::string &finding) {
    const bool stated = !std::isnan(statedCm);
    const std::string classText =
        (stated ? StatedClass(statedCm) : ClassCentimetres(tested)) + " cm " + classWords;
    if (count >= kAsprsMinimum) {
        return std::string("This data set was ") + (stated ? "produced" : "tested") + " to meet " + title +
               " for a " + classText + ". " + finding + ".";
    }
    return "This data set was tested as required by " + title +
           ". Although the Standards call for a minimum of thirty (30) checkpoints, this test was performed "
           "using ONLY " + std::to_string(count) + " checkpoint" + (count == 1 ? "" : "s") + "." +
           (stated ? " This data set was produced to meet a " + classText + "." : std::string()) + " " + finding +
           " using the reduced number of checkpoints.";
}

void AddCheck(Statements *s, const std::string &name, const std::string &required, const std::string &found,
              bool passed) {
    s->checks.push_back({name, required, found, passed});
}

// Producer mode: the stated classes against the tested values and the
// standard's conditions on the checkpoints.
void ProducerChecks(const ResidualSet &set, const Figures &f, Statements *s) {
    const Reporting &r = set.reporting;
    const bool h = !std::isnan(r.classH), v = set.vertical && !std::isnan(r.classV);
    if (!h && !v) return;
    const size_t required = AsprsCheckpointsRequired(r.projectAreaKm2);
    AddCheck(s, "Checkpoints",
             std::to_string(required) + (std::isnan(r.projectAreaKm2)
                                             ? std::string(" at least")
                                             : " for " + Fixed(r.projectAreaKm2, 0) + " km\u00b2"),
             std::to_string(f.count), f.count >= required);
    const auto classCheck = [&](const char *what, double classCm, double tested, double checkpoint) {
        AddCheck(s, std::string(what) + " accuracy", "\u2264 " + StatedClass(classCm) + " cm",
                 Centimetres(tested) + " cm", tested * 100.0 <= classCm + 1e-9);
        AddCheck(s, std::string(what) + " checkpoint survey accuracy (at least twice the class)",
                 "\u2264 " + StatedClass(0.5 * classCm) + " cm", Centimetres(checkpoint) + " cm",
                 checkpoint * 100.0 <= 0.5 * classCm + 1e-9);
    };
    if (h) classCheck("RMSE_H", r.classH, f.asprsRmseH, f.checkpointRmseH);
    if (v) classCheck("RMSE_V", r.classV, f.asprsRmseV, f.checkpointRmseV);
    s->producerPassed = true;
    std::string failed;
    for (const Check &c : s->checks) {
        s->producerPassed = s->producerPassed && c.passed;
        if (!c.passed) failed += (failed.empty() ? "" : "; ") + c.name + " " + c.found + " (required " + c.required + ")";
    }
    s->producerVerdict = std::string("Producer test against the stated class") + (h && v ? "es" : "") + ": " +
                         (s->producerPassed ? "PASSED." : "FAILED: " + failed + ".");
}

}  // namespace

Statements MakeStatements(const ResidualSet &set, const Figures &f) {
    Statements s;
    const Reporting &reporting = set.reporting;
    s.asprsTitle = AsprsTitle(reporting.edition);
    if (f.count == 0) {
        s.nssda = "No checkpoints: no accuracy can be stated.";
        s.asprsHorizontal = s.nssda;
        if (set.vertical) s.asprsVertical = s.nssda;
        return s;
    }
    const double perUnit = MetersPerUnit(reporting.units);
    const std::string unit = UnitName(reporting.units);
    const std::string horizontal = Fixed(f.nssdaHorizontal / perUnit, 3) + " " + unit + " horizontal accuracy";
    const std::string vertical = Fixed(f.nssdaVertical / perUnit, 3) + " " + unit + " vertical accuracy";
    const std::string level = " at 95% confidence level";
    if (f.count >= kNssdaMinimum) {
        s.nssda = "Tested " + horizontal + level + (set.vertical ? "; " + vertical + level : std::string()) + ".";
    } else {
        s.nssda = "No NSSDA statement: the standard requires at least 20 checkpoints and this test has " +
                  std::to_string(f.count) + ". The 95% values from them: " + horizontal +
                  (set.vertical ? ", " + vertical : std::string()) + ".";
    }
    if (f.nssdaExactUsed) {
        s.nssda += " RMSEmin/RMSEmax = " + Fixed(f.nssdaRatio, 2) +
                   " is below 0.6, where the standard's approximation 2.4477 x 0.5 (RMSEx + RMSEy) no longer "
                   "holds: the horizontal value is the exact 95% radius of the two axes' normal errors.";
    }
    const bool latest = reporting.edition == AsprsEdition::kEdition2Version2;
    s.asprsHorizontal = AsprsStatement(
        s.asprsTitle, f.count, reporting.classH, f.asprsRmseH, "RMSE_H Horizontal Positional Accuracy Class",
        "The tested horizontal positional accuracy was found to be RMSE_H = " + Centimetres(f.asprsRmseH) + " cm");
    if (set.vertical) {
        s.asprsVertical = AsprsStatement(
            s.asprsTitle, f.count, reporting.classV, f.asprsRmseV,
            latest ? "RMSE_V Vertical Positional Accuracy Class" : "RMSE_V Vertical Accuracy Class",
            (latest ? "The tested Non-Vegetated Vertical Accuracy (NVA) was found to be RMSE_V = "
                    : "NVA accuracy was found to be RMSE_V = ") +
                Centimetres(f.asprsRmseV) + " cm");
        if (latest) {
            const double class3D = std::hypot(reporting.classH, reporting.classV);
            s.asprs3D = AsprsStatement(
                s.asprsTitle, f.count, class3D, f.asprsRmse3D, "RMSE_3D Three-Dimensional Positional Accuracy Class",
                "The tested three-dimensional positional accuracy was found to be RMSE_3D = " +
                    Centimetres(f.asprsRmse3D) + " cm");
        }
    }
    ProducerChecks(set, f, &s);
    return s;
}

}  // namespace zassess
