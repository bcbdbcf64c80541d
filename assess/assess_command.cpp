// zot-host assess: a condensed report in, the text summary out, and the HTML,
// JSON, CSV and GeoJSON files asked for.
#include "assess_command.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "assess.h"
#include "condensed_report.h"
#include "deliverable.h"
#include "reproject.h"

namespace zassess {

namespace {

enum Status { kOk = 0, kFailed = 1, kUsage = 2 };

struct Options {
    std::vector<std::string> reports;
    std::string html, json, csv, geojson, crs, pdf, isoXml, fgdc, image, units, edition, classH, classV, area;
    std::string project, analyst, checkpoints, horizontalDatum, verticalDatum, date;
    bool help = false, summary = false;
};

bool ReadOptions(int argc, char **argv, Options *options, std::string *why) {
    const struct {
        const char *name;
        std::string Options::*field;
    } valued[] = {{"--html", &Options::html},           {"--json", &Options::json},
                  {"--csv", &Options::csv},             {"--geojson", &Options::geojson},
                  {"--crs", &Options::crs},             {"--pdf", &Options::pdf},
                  {"--iso-xml", &Options::isoXml},      {"--fgdc", &Options::fgdc},
                  {"--image", &Options::image},         {"--units", &Options::units},
                  {"--asprs-edition", &Options::edition}, {"--asprs-class-h", &Options::classH},
                  {"--asprs-class-v", &Options::classV}, {"--project-area", &Options::area},
                  {"--project", &Options::project},     {"--analyst", &Options::analyst},
                  {"--checkpoints", &Options::checkpoints}, {"--horizontal-datum", &Options::horizontalDatum},
                  {"--vertical-datum", &Options::verticalDatum}, {"--date", &Options::date}};
    for (int i = 0; i < argc; ++i) {
        const std::string word = argv[i];
        std::string *target = nullptr;
        for (const auto &v : valued) {
            if (word == v.name) target = &(options->*v.field);
        }
        if (word == "--help" || word == "-h") {
            options->help = true;
        } else if (word == "--summary") {
            options->summary = true;
        } else if (target != nullptr) {
            if (i + 1 >= argc || std::string(argv[i + 1]).empty()) {
                *why = word + " needs a value";
                return false;
            }
            *target = argv[++i];
        } else if (word.size() > 1 && word[0] == '-') {
            *why = "unknown option " + word;
            return false;
        } else {
            options->reports.push_back(word);
        }
    }
    if (options->help) return true;
    if (options->reports.empty()) {
        *why = "assess needs a report file";
        return false;
    }
    if (options->reports.size() > 1 && !options->summary) {
        *why = "one report at a time (" + options->reports[1] + " is a second); several need --summary";
        return false;
    }
    if (options->summary && (!options->json.empty() || !options->geojson.empty() || !options->isoXml.empty() ||
                             !options->fgdc.empty() || !options->image.empty())) {
        *why = "--summary writes --csv, --html and --pdf only";
        return false;
    }
    return true;
}

// A length in centimeters or an area: a positive number.
bool PositiveNumber(const std::string &text, const char *option, double *value, std::string *why) {
    if (text.empty()) return true;
    char *end = nullptr;
    *value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !(*value > 0) || !std::isfinite(*value)) {
        *why = std::string(option) + " needs a positive number, not \"" + text + "\"";
        return false;
    }
    return true;
}

bool ReadReporting(const Options &options, Reporting *reporting, std::string *why) {
    if (!options.units.empty() && !ParseUnits(options.units, &reporting->units)) {
        *why = "--units is m, ft or usft, not \"" + options.units + "\"";
        return false;
    }
    if (options.edition == "2023") {
        reporting->edition = AsprsEdition::kEdition2;
    } else if (!options.edition.empty() && options.edition != "2024") {
        *why = "--asprs-edition is 2024 (Edition 2, Version 2) or 2023 (Edition 2), not \"" + options.edition + "\"";
        return false;
    }
    return PositiveNumber(options.classH, "--asprs-class-h", &reporting->classH, why) &&
           PositiveNumber(options.classV, "--asprs-class-v", &reporting->classV, why) &&
           PositiveNumber(options.area, "--project-area", &reporting->projectAreaKm2, why);
}

bool ReadFile(const std::string &path, std::string *text, std::string *error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        *error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) {
        *error = "cannot read " + path;
        return false;
    }
    *text = buffer.str();
    return true;
}

}  // namespace

bool WriteFileAtomically(const std::string &path, const std::string &text, std::string *error) {
    struct stat status;
    const bool direct = stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode);
    const std::string temporary = direct ? path : path + ".tmp" + std::to_string(static_cast<long>(getpid()));
    std::FILE *file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) {
        *error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    const int writeErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || (!direct && std::rename(temporary.c_str(), path.c_str()) != 0)) {
        *error = "cannot write " + path + ": " + std::strerror(written && closed ? errno : writeErrno);
        if (!direct) std::remove(temporary.c_str());
        return false;
    }
    return true;
}

bool WriteAssessmentPdf(const std::string &path, const ResidualSet &set, const Provenance &provenance,
                        const Backdrop *backdrop, std::string *error) {
    std::string pdf;
    return AssessmentPdf(set, Assess(set), provenance, backdrop, &pdf, error) && WriteFileAtomically(path, pdf, error);
}

std::string AssessHelp() {
    return "Usage: zot-host assess REPORT [options]\n"
           "       zot-host assess REPORT REPORT ... --summary [--csv FILE] [--html FILE] [--pdf FILE]\n"
           "\n"
           "Assesses the points of a condensed report (written after `format condensed`, in meters\n"
           "or feet, geographic or map form) to the published standards: RMSE per axis with 95 %\n"
           "intervals, the bias t-test, NSSDA 95 % values and statement (FGDC-STD-007.3-1998) with\n"
           "the exact radius, ASPRS Edition 2 RMSE_H, RMSE_V, RMSE_3D and statements with the\n"
           "checkpoints' own accuracy, CE90 and LE90 three ways, and outliers flagged (a residual\n"
           "beyond the e^-9 tail of a normal error against the RMSE of the rest), every figure with\n"
           "and without them. Prints a summary.\n"
           "\n"
           "Files:\n"
           "  --html FILE      A self-contained page: statements, figures, plots, every point.\n"
           "  --json FILE      Every figure, named, with its unit.\n"
           "  --csv FILE       The residuals of every point in meters, with a header row.\n"
           "  --geojson FILE   Reference points and residual vectors, WGS84. A map report needs --crs.\n"
           "  --pdf FILE       The deliverable: title and metadata blocks, statements, figures with\n"
           "                   intervals, every point, and the plots.\n"
           "  --iso-xml FILE   An ISO 19157 data-quality record (absolute external positional accuracy).\n"
           "  --fgdc FILE      An FGDC-style positional accuracy paragraph.\n"
           "Statements:\n"
           "  --units U        m (meters, the default), ft (feet) or usft (US survey feet).\n"
           "  --asprs-edition E   2024 (Edition 2, Version 2; the default) or 2023 (Edition 2).\n"
           "  --asprs-class-h CM  Producer mode: the RMSE_H class (cm) the data were produced to;\n"
           "  --asprs-class-v CM  and the RMSE_V class. The test says pass or fail, with the checks.\n"
           "  --project-area KM2  The project's area, for the number of checkpoints asked for.\n"
           "Metadata of the deliverable:\n"
           "  --crs CRS        The report's coordinate system (e.g. EPSG:32632); --geojson needs it\n"
           "                   for a map report.\n"
           "  --checkpoints FILE  The T&E file the checkpoints came from (its SHA-256 is stated).\n"
           "  --image FILE     The image drawn behind the vector map (north up, georeferenced).\n"
           "  --project TEXT, --analyst TEXT, --horizontal-datum TEXT, --vertical-datum TEXT,\n"
           "  --date YYYY-MM-DD (default today)\n"
           "  --summary        Several reports: one row each and the pooled figures.\n"
           "  -h, --help       Prints this help.\n"
           "\n"
           "Exit status: 0 when done, 1 when a report cannot be read or a file cannot be\n"
           "written, 2 when the command line is wrong.\n";
}

namespace {

std::string Today() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &utc);
    return text;
}

std::string BaseName(const std::string &path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Writes each output asked for; the status is kFailed when any cannot be written.
int WriteOutputs(const std::vector<std::pair<std::string, std::function<std::string()>>> &outputs, std::ostream &out,
                 std::ostream &err) {
    int status = kOk;
    for (const auto &[path, make] : outputs) {
        if (path.empty()) continue;
        std::string why;
        std::string text;
        try {
            text = make();
        } catch (const std::runtime_error &e) {
            err << "zot-host assess: error: " << path << ": " << e.what() << "\n";
            status = kFailed;
            continue;
        }
        if (!WriteFileAtomically(path, text, &why)) {
            err << "zot-host assess: error: " << why << "\n";
            status = kFailed;
        } else {
            out << "wrote " << path << "\n";
        }
    }
    return status;
}

std::string PdfOrThrow(const std::function<bool(std::string *, std::string *)> &make) {
    std::string pdf, why;
    if (!make(&pdf, &why)) throw std::runtime_error(why);
    return pdf;
}

int Run(int argc, char **argv, std::ostream &out, std::ostream &err) {
    Options options;
    std::string why;
    Reporting reporting;
    if (!ReadOptions(argc, argv, &options, &why) || !ReadReporting(options, &reporting, &why)) {
        err << "zot-host assess: error: " << why << " (zot-host assess --help shows the usage)\n";
        return kUsage;
    }
    if (options.help) {
        out << AssessHelp();
        return kOk;
    }
    Provenance provenance;
    provenance.project = options.project;
    provenance.analyst = options.analyst;
    provenance.date = options.date.empty() ? Today() : options.date;
    provenance.horizontalDatum = options.horizontalDatum;
    provenance.verticalDatum = options.verticalDatum;
    provenance.software = SoftwareVersion();
    if (!options.checkpoints.empty()) {
        std::string text;
        if (!ReadFile(options.checkpoints, &text, &why)) {
            err << "zot-host assess: error: --checkpoints: " << why << "\n";
            return kFailed;
        }
        provenance.checkpointFile = BaseName(options.checkpoints);
        provenance.checkpointSha256 = Sha256Hex(text);
    }
    std::vector<CampaignEntry> entries;
    std::string reportText;
    for (const std::string &report : options.reports) {
        CampaignEntry entry;
        entry.file = report;
        if (!ReadFile(report, &reportText, &why) || !ReadCondensedReport(reportText, &entry.set, &why)) {
            err << "zot-host assess: error: " << report << ": " << why << "\n";
            return kFailed;
        }
        entry.set.reporting = reporting;
        entries.push_back(std::move(entry));
    }
    if (options.summary) {
        const Campaign campaign = AssessCampaign(std::move(entries));
        out << CampaignCsv(campaign);
        return WriteOutputs({{options.csv, [&] { return CampaignCsv(campaign); }},
                             {options.html, [&] { return CampaignHtml(campaign); }},
                             {options.pdf,
                              [&] {
                                  return PdfOrThrow([&](std::string *pdf, std::string *e) {
                                      return CampaignPdf(campaign, provenance, pdf, e);
                                  });
                              }}},
                            out, err);
    }
    const ResidualSet &set = entries[0].set;
    provenance.reportFile = BaseName(options.reports[0]);
    provenance.reportSha256 = Sha256Hex(reportText);
    provenance.images = ImagesOfTitle(set.title);
    provenance.crs = !options.crs.empty() ? options.crs
                     : set.geographic     ? std::string("geographic longitude/latitude (WGS84 assumed)")
                                          : std::string("map X/Y (not stated)");
    // The GeoJSON positions and the image first, so that a bad --crs or
    // --image writes nothing.
    ResidualSet wgs84 = set;
    if (!options.geojson.empty()) {
        if (!options.crs.empty() && !ReprojectToWgs84(&wgs84, options.crs, &why)) {
            err << "zot-host assess: error: " << why << "\n";
            return kUsage;
        }
        if (!wgs84.geographic) {
            err << "zot-host assess: error: --geojson of a map report needs --crs, the report's coordinate "
                   "system (e.g. --crs EPSG:32632)\n";
            return kUsage;
        }
    }
    Backdrop backdrop;
    if (!options.image.empty()) {
        if (!ImageBackdrop(options.image, set, 900, &backdrop, &why)) {
            err << "zot-host assess: error: " << why << "\n";
            return kFailed;
        }
        provenance.images = {BaseName(options.image)};
    }
    const Assessment assessment = Assess(set);
    out << AssessmentText(set, assessment);
    const Backdrop *behind = backdrop.png.empty() ? nullptr : &backdrop;
    return WriteOutputs(
        {{options.html, [&] { return AssessmentHtml(set, assessment); }},
         {options.json, [&] { return AssessmentJson(set, assessment).dump(2) + "\n"; }},
         {options.csv, [&] { return ResidualsCsv(set, assessment); }},
         {options.geojson, [&] { return ResidualsGeoJson(wgs84, assessment).dump(2) + "\n"; }},
         {options.pdf,
          [&] {
              return PdfOrThrow([&](std::string *pdf, std::string *e) {
                  return AssessmentPdf(set, assessment, provenance, behind, pdf, e);
              });
          }},
         {options.isoXml, [&] { return Iso19157Xml(set, assessment, provenance); }},
         {options.fgdc, [&] { return FgdcParagraph(set, assessment, provenance); }}},
        out, err);
}

}  // namespace

int RunAssessCommand(int argc, char **argv, std::ostream &out, std::ostream &err) {
    try {
        return Run(argc, argv, out, err);
    } catch (const std::exception &e) {
        err << "zot-host assess: error: " << e.what() << "\n";
        return kFailed;
    }
}

}  // namespace zassess
