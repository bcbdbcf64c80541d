// zot-host assess: a condensed report in, the text summary out, and the HTML,
// JSON, CSV and GeoJSON files asked for.
#include "assess_command.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <sstream>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "assess.h"
#include "condensed_report.h"
#include "reproject.h"

namespace zassess {

namespace {

enum Status { kOk = 0, kFailed = 1, kUsage = 2 };

struct Options {
    std::string report, html, json, csv, geojson, crs;
    bool help = false;
};

bool ReadOptions(int argc, char **argv, Options *options, std::string *why) {
    for (int i = 0; i < argc; ++i) {
        const std::string word = argv[i];
        std::string *target = word == "--html"      ? &options->html
                              : word == "--json"    ? &options->json
                              : word == "--csv"     ? &options->csv
                              : word == "--geojson" ? &options->geojson
                              : word == "--crs"     ? &options->crs
                                                    : nullptr;
        if (word == "--help" || word == "-h") {
            options->help = true;
        } else if (target != nullptr) {
            if (i + 1 >= argc || std::string(argv[i + 1]).empty()) {
                *why = word + " needs a value";
                return false;
            }
            *target = argv[++i];
        } else if (word.size() > 1 && word[0] == '-') {
            *why = "unknown option " + word;
            return false;
        } else if (options->report.empty()) {
            options->report = word;
        } else {
            *why = "one report at a time (" + word + " is a second)";
            return false;
        }
    }
    if (!options->help && options->report.empty()) {
        *why = "assess needs a report file";
        return false;
    }
    return true;
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

// Writes text to a temporary file beside path and renames it over path only
// when every byte was written and closed; a failure leaves path as it was. A
// path that exists and is no regular file (/dev/stdout) is written directly.
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

}  // namespace

std::string AssessHelp() {
    return "Usage: zot-host assess REPORT [--html FILE] [--json FILE] [--csv FILE] [--geojson FILE] [--crs CRS]\n"
           "\n"
           "Assesses the points of a condensed report (written after `format condensed`, in meters\n"
           "or feet, geographic or map form) to the published standards: RMSE per axis, NSSDA 95 %\n"
           "values and statement (FGDC-STD-007.3-1998), ASPRS Edition 2 (2023) RMSE_H, RMSE_V and\n"
           "statements with the checkpoints' own accuracy, CE90 and LE90 three ways, and outliers\n"
           "flagged (residual above 3 RMSE of the rest), every figure with and without them.\n"
           "Prints a summary.\n"
           "\n"
           "Options:\n"
           "  --html FILE      A self-contained page: statements, figures, plots, every point.\n"
           "  --json FILE      Every figure, named, with its unit.\n"
           "  --csv FILE       The residuals of every point in metres, with a header row.\n"
           "  --geojson FILE   Reference points and residual vectors, WGS84. A map report needs --crs.\n"
           "  --crs CRS        The report's coordinate system (e.g. EPSG:32632) for --geojson.\n"
           "  -h, --help       Prints this help.\n"
           "\n"
           "Exit status: 0 when done, 1 when the report cannot be read or a file cannot be\n"
           "written, 2 when the command line is wrong.\n";
}

namespace {

int Run(int argc, char **argv, std::ostream &out, std::ostream &err) {
    Options options;
    std::string why;
    if (!ReadOptions(argc, argv, &options, &why)) {
        err << "zot-host assess: error: " << why << " (zot-host assess --help shows the usage)\n";
        return kUsage;
    }
    if (options.help) {
        out << AssessHelp();
        return kOk;
    }
    std::string text;
    ResidualSet set;
    if (!ReadFile(options.report, &text, &why) || !ReadCondensedReport(text, &set, &why)) {
        err << "zot-host assess: error: " << options.report << ": " << why << "\n";
        return kFailed;
    }
    // The GeoJSON positions first, so that a bad --crs writes nothing.
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
    const Assessment assessment = Assess(set);
    out << AssessmentText(set, assessment);
    struct Output {
        const std::string &path;
        std::string (*make)(const ResidualSet &, const Assessment &);
        const ResidualSet &set;
    };
    const Output outputs[] = {
        {options.html, AssessmentHtml, set},
        {options.json, [](const ResidualSet &s, const Assessment &a) { return AssessmentJson(s, a).dump(2) + "\n"; },
         set},
        {options.csv, ResidualsCsv, set},
        {options.geojson,
         [](const ResidualSet &s, const Assessment &a) { return ResidualsGeoJson(s, a).dump(2) + "\n"; }, wgs84},
    };
    int status = kOk;
    for (const Output &output : outputs) {
        if (output.path.empty()) continue;
        if (!WriteFileAtomically(output.path, output.make(output.set, assessment), &why)) {
            err << "zot-host assess: error: " << why << "\n";
            status = kFailed;
        } else {
            out << "wrote " << output.path << "\n";
        }
    }
    return status;
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
