// The deliverable's metadata: checksums, the images a report names, the ISO
// 19157 data-quality record and the FGDC-style paragraph, the image behind
// the vector map, and the campaign of several reports.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <sstream>

#include <cpl_conv.h>
#include <cpl_vsi.h>
#include <gdal_priv.h>
#include <openssl/evp.h>

#include "deliverable.h"
#include "figure_table.h"
#include "text.h"

#ifndef ZASSESS_VERSION
#define ZASSESS_VERSION "unknown"
#endif

namespace zassess {

std::string Sha256Hex(const std::string &text) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), digest, &length, EVP_sha256(), nullptr);
    std::string hex;
    char byte[3];
    for (unsigned int i = 0; i < length; ++i) {
        std::snprintf(byte, sizeof byte, "%02x", digest[i]);
        hex += byte;
    }
    return hex;
}

std::vector<std::string> ImagesOfTitle(const std::string &title) {
    const std::string prefix = "ZOT Report for ";
    std::vector<std::string> images;
    if (title.rfind(prefix, 0) != 0) return images;
    const std::string rest = title.substr(prefix.size());
    const size_t and_ = rest.rfind(" and ");
    if (and_ == std::string::npos) {
        images.push_back(rest);
    } else {
        images.push_back(rest.substr(0, and_));
        images.push_back(rest.substr(and_ + 5));
    }
    return images;
}

std::string SoftwareVersion() { return std::string("zot-host assess ") + ZASSESS_VERSION; }

namespace {

std::string Or(const std::string &text) { return text.empty() ? "not stated" : text; }

std::string Xml(const std::string &text) { return EscapeHtml(ValidUtf8(text)); }

// One quantitative result of the ISO record.
void IsoResult(std::ostringstream &out, const std::string &measure, const std::string &description, double value,
               const char *unit, const std::string &evaluation) {
    if (!std::isfinite(value)) return;
    out << "  <mdq:report>\n    <mdq:DQ_AbsoluteExternalPositionalAccuracy>\n"
           "      <mdq:measure>\n        <mdq:DQ_MeasureReference>\n"
           "          <mdq:nameOfMeasure><gco:CharacterString>" << Xml(measure)
        << "</gco:CharacterString></mdq:nameOfMeasure>\n"
           "          <mdq:measureDescription><gco:CharacterString>" << Xml(description)
        << "</gco:CharacterString></mdq:measureDescription>\n"
           "        </mdq:DQ_MeasureReference>\n      </mdq:measure>\n"
           "      <mdq:evaluationMethod>\n        <mdq:DQ_FullInspection>\n"
           "          <mdq:evaluationMethodDescription><gco:CharacterString>" << Xml(evaluation)
        << "</gco:CharacterString></mdq:evaluationMethodDescription>\n"
           "        </mdq:DQ_FullInspection>\n      </mdq:evaluationMethod>\n"
           "      <mdq:result>\n        <mdq:DQ_QuantitativeResult>\n"
           "          <mdq:value><gco:Record>" << Fixed(value, 4) << "</gco:Record></mdq:value>\n"
           "          <mdq:valueUnit><gml:BaseUnit gml:id=\"unit-" << unit << "-" << std::hash<std::string>()(measure)
        << "\"><gml:identifier codeSpace=\"\">" << unit << "</gml:identifier></gml:BaseUnit></mdq:valueUnit>\n"
           "        </mdq:DQ_QuantitativeResult>\n      </mdq:result>\n"
           "    </mdq:DQ_AbsoluteExternalPositionalAccuracy>\n  </mdq:report>\n";
}

}  // namespace

std::string Iso19157Xml(const ResidualSet &set, const Assessment &a, const Provenance &p) {
    const Figures &f = a.all;
    const double perUnit = MetersPerUnit(set.reporting.units);
    const char *unit = UnitSymbol(set.reporting.units);
    const std::string method =
        std::to_string(f.count) + " checkpoints from " + Or(p.checkpointFile) + " (SHA-256 " + Or(p.checkpointSha256) +
        ") measured in " + Or(p.reportFile) + " (SHA-256 " + Or(p.reportSha256) + "); " + p.software + "; " +
        Or(p.date) + ".";
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<mdq:DQ_DataQuality xmlns:mdq=\"http://standards.iso.org/iso/19157/-2/mdq/1.0\"\n"
           "    xmlns:mcc=\"http://standards.iso.org/iso/19115/-3/mcc/1.0\"\n"
           "    xmlns:gco=\"http://standards.iso.org/iso/19115/-3/gco/1.0\"\n"
           "    xmlns:gml=\"http://www.opengis.net/gml/3.2\">\n"
           "  <mdq:scope>\n    <mcc:MD_Scope>\n      <mcc:level><mcc:MD_ScopeCode codeList=\"http://standards.iso.org/"
           "iso/19115/resources/Codelists/cat/codelists.xml#MD_ScopeCode\" codeListValue=\"dataset\">dataset"
           "</mcc:MD_ScopeCode></mcc:level>\n"
           "      <mcc:levelDescription><mcc:MD_ScopeDescription><mcc:other><gco:CharacterString>"
        << Xml(set.title + " (" + Or(p.project) + ")")
        << "</gco:CharacterString></mcc:other></mcc:MD_ScopeDescription></mcc:levelDescription>\n"
           "    </mcc:MD_Scope>\n  </mdq:scope>\n";
    IsoResult(out, "root mean square error of planimetry", "RMSEr = sqrt(RMSEx^2 + RMSEy^2)", f.rmseR / perUnit, unit,
              method);
    IsoResult(out, "circular error at 95 % significance level", "NSSDA Accuracy_r (FGDC-STD-007.3-1998)",
              f.nssdaHorizontal / perUnit, unit, method);
    IsoResult(out, "circular map accuracy standard", "CE90, the 90th percentile of the horizontal errors",
              f.ce90Empirical / perUnit, unit, method);
    if (set.vertical) {
        IsoResult(out, "root mean square error", "RMSEz of the vertical errors", f.rmseU / perUnit, unit, method);
        IsoResult(out, "linear error at 95 % significance level", "NSSDA Accuracy_z = 1.9600 RMSEz",
                  f.nssdaVertical / perUnit, unit, method);
        IsoResult(out, "linear map accuracy at 90 % significance level", "LE90, the 90th percentile of |VE|",
                  f.le90Empirical / perUnit, unit, method);
    }
    out << "</mdq:DQ_DataQuality>\n";
    return out.str();
}

std::string FgdcParagraph(const ResidualSet &set, const Assessment &a, const Provenance &p) {
    const Figures &f = a.all;
    const Statements s = MakeStatements(set, f);
    const double perUnit = MetersPerUnit(set.reporting.units);
    const std::string unit = UnitName(set.reporting.units);
    std::ostringstream out;
    out << "Positional_Accuracy:\n  Horizontal_Positional_Accuracy:\n"
           "    Horizontal_Positional_Accuracy_Report: "
        << s.nssda << " " << f.count << " checkpoints from " << Or(p.checkpointFile)
        << " were compared with their positions measured on " << Or(set.title) << "; RMSEx "
        << Fixed(f.rmseE / perUnit, 3) << ", RMSEy " << Fixed(f.rmseN / perUnit, 3) << " " << unit << ". " << s.asprsHorizontal
        << "\n    Quantitative_Horizontal_Positional_Accuracy_Assessment:\n"
           "      Horizontal_Positional_Accuracy_Value: "
        << Fixed(f.nssdaHorizontal / perUnit, 3)
        << "\n      Horizontal_Positional_Accuracy_Explanation: National Standard for Spatial Data Accuracy "
           "(FGDC-STD-007.3-1998), 95% confidence level, in "
        << unit << "\n";
    if (set.vertical) {
        out << "  Vertical_Positional_Accuracy:\n    Vertical_Positional_Accuracy_Report: RMSEz "
            << Fixed(f.rmseU / perUnit, 3) << " " << unit << " against " << Or(p.verticalDatum) << ". "
            << s.asprsVertical
            << "\n    Quantitative_Vertical_Positional_Accuracy_Assessment:\n"
               "      Vertical_Positional_Accuracy_Value: "
            << Fixed(f.nssdaVertical / perUnit, 3)
            << "\n      Vertical_Positional_Accuracy_Explanation: National Standard for Spatial Data Accuracy "
               "(FGDC-STD-007.3-1998), 95% confidence level, in "
            << unit << "\n";
    }
    return out.str();
}

bool ImageBackdrop(const std::string &path, const ResidualSet &set, int maxPixels, Backdrop *backdrop,
                   std::string *error) {
    GDALAllRegister();
    std::unique_ptr<GDALDataset> image(GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY));
    double transform[6];
    if (!image || image->GetRasterCount() < 1) {
        *error = "--image: cannot open " + path + " as an image";
        return false;
    }
    if (image->GetGeoTransform(transform) != CE_None || transform[2] != 0 || transform[4] != 0) {
        *error = "--image: " + path + " has no north-up georeference";
        return false;
    }
    const OGRSpatialReference *srs = image->GetSpatialRef();
    if (srs != nullptr && srs->IsGeographic() != set.geographic) {
        *error = std::string("--image: ") + path + " is in " + (srs->IsGeographic() ? "degrees" : "map units") +
                 " and the report in " + (set.geographic ? "degrees" : "map units");
        return false;
    }
    const int width = image->GetRasterXSize(), height = image->GetRasterYSize();
    const double shrink = std::max(1.0, static_cast<double>(std::max(width, height)) / maxPixels);
    const int w = std::max(1, static_cast<int>(width / shrink)), h = std::max(1, static_cast<int>(height / shrink));
    const int bands = image->GetRasterCount() >= 3 ? 3 : 1;
    std::vector<double> values(static_cast<size_t>(w) * h * bands);
    int bandList[3] = {1, 2, 3};
    if (image->RasterIO(GF_Read, 0, 0, width, height, values.data(), w, h, GDT_Float64, bands, bandList, 0, 0, 0,
                        nullptr) != CE_None) {
        *error = "--image: cannot read " + path;
        return false;
    }
    // A 2-98 % stretch over all bands to bytes.
    std::vector<double> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    const double low = sorted[sorted.size() / 50], high = sorted[sorted.size() - 1 - sorted.size() / 50];
    std::vector<unsigned char> bytes(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        const double v = high > low ? (values[i] - low) / (high - low) : 0.5;
        bytes[i] = static_cast<unsigned char>(std::clamp(v, 0.0, 1.0) * 255.0 + 0.5);
    }
    GDALDriver *memory = GetGDALDriverManager()->GetDriverByName("MEM");
    GDALDriver *png = GetGDALDriverManager()->GetDriverByName("PNG");
    std::unique_ptr<GDALDataset> thumbnail(memory->Create("", w, h, bands, GDT_Byte, nullptr));
    if (!thumbnail || thumbnail->RasterIO(GF_Write, 0, 0, w, h, bytes.data(), w, h, GDT_Byte, bands, nullptr, 0, 0, 0,
                                          nullptr) != CE_None) {
        *error = "--image: cannot make a thumbnail of " + path;
        return false;
    }
    const std::string file = "/vsimem/zassess_thumbnail_" + std::to_string(reinterpret_cast<uintptr_t>(backdrop)) + ".png";
    GDALClose(png->CreateCopy(file.c_str(), thumbnail.get(), FALSE, nullptr, nullptr, nullptr));
    vsi_l_offset size = 0;
    GByte *data = VSIGetMemFileBuffer(file.c_str(), &size, TRUE);
    if (data == nullptr) {
        *error = "--image: cannot encode the thumbnail of " + path;
        return false;
    }
    char *base64 = CPLBase64Encode(static_cast<int>(size), data);
    backdrop->png = base64;
    CPLFree(base64);
    CPLFree(data);
    backdrop->west = transform[0];
    backdrop->east = transform[0] + width * transform[1];
    backdrop->north = transform[3];
    backdrop->south = transform[3] + height * transform[5];
    return true;
}

Campaign AssessCampaign(std::vector<CampaignEntry> entries) {
    Campaign c;
    c.entries = std::move(entries);
    c.pooled.title = "All reports pooled";
    c.pooled.vertical = !c.entries.empty();
    for (CampaignEntry &e : c.entries) {
        e.assessment = Assess(e.set);
        c.pooled.vertical = c.pooled.vertical && e.set.vertical;
        c.pooled.geographic = e.set.geographic;
        c.pooled.reporting = e.set.reporting;
        c.pooled.points.insert(c.pooled.points.end(), e.set.points.begin(), e.set.points.end());
    }
    c.pooledAssessment = Assess(c.pooled);
    return c;
}

namespace {

// The columns of the campaign table: a label and the figure (NaN where it does not apply).
struct CampaignColumn {
    const char *label;
    double Figures::*member;
    bool length;
};
const CampaignColumn kCampaignColumns[] = {
    {"RMSEx", &Figures::rmseE, true},          {"RMSEy", &Figures::rmseN, true},
    {"RMSEr", &Figures::rmseR, true},          {"RMSEr 95% low", &Figures::rmseLowR, true},
    {"RMSEr 95% high", &Figures::rmseHighR, true}, {"RMSEz", &Figures::rmseU, true},
    {"NSSDA horizontal", &Figures::nssdaHorizontal, true}, {"NSSDA vertical", &Figures::nssdaVertical, true},
    {"ASPRS RMSE_H", &Figures::asprsRmseH, true}, {"ASPRS RMSE_V", &Figures::asprsRmseV, true},
    {"CE90", &Figures::ce90Empirical, true},   {"LE90", &Figures::le90Empirical, true},
};

struct CampaignRow {
    std::string file, title;
    size_t points, flagged;
    std::vector<std::string> values;
};

std::vector<CampaignRow> CampaignRows(const Campaign &c) {
    std::vector<CampaignRow> rows;
    const auto row = [](const std::string &file, const ResidualSet &set, const Assessment &a) {
        CampaignRow r{file, set.title, set.points.size(), a.flaggedCount, {}};
        const double perUnit = MetersPerUnit(set.reporting.units);
        for (const CampaignColumn &column : kCampaignColumns) {
            r.values.push_back(Fixed(a.all.*column.member / (column.length ? perUnit : 1.0), 3));
        }
        return r;
    };
    for (const CampaignEntry &e : c.entries) rows.push_back(row(e.file, e.set, e.assessment));
    rows.push_back(row("(pooled)", c.pooled, c.pooledAssessment));
    return rows;
}

}  // namespace

std::vector<std::vector<std::string>> CampaignTable(const Campaign &c) {
    std::vector<std::vector<std::string>> table{{"Report", "Points", "Flagged"}};
    for (const CampaignColumn &column : kCampaignColumns) table[0].push_back(column.label);
    for (const CampaignRow &r : CampaignRows(c)) {
        std::vector<std::string> row{r.file, std::to_string(r.points), std::to_string(r.flagged)};
        row.insert(row.end(), r.values.begin(), r.values.end());
        table.push_back(row);
    }
    return table;
}

std::string CampaignCsv(const Campaign &c) {
    std::ostringstream out;
    const char *unit = UnitSymbol(c.pooled.reporting.units);
    out << "report,title,points,flagged";
    for (const CampaignColumn &column : kCampaignColumns) {
        std::string key = column.label;
        std::replace(key.begin(), key.end(), ' ', '_');
        out << ',' << key << (column.length ? std::string("_") + unit : "");
    }
    out << '\n';
    for (const CampaignRow &r : CampaignRows(c)) {
        out << CsvField(r.file) << ',' << CsvField(r.title) << ',' << r.points << ',' << r.flagged;
        for (const std::string &v : r.values) out << ',' << (v == "n/a" ? "" : v);
        out << '\n';
    }
    return out.str();
}

std::string CampaignHtml(const Campaign &c) {
    std::ostringstream out;
    out << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Accuracy campaign</title><style>"
           ":root{color-scheme:light dark}body{font:15px/1.45 system-ui,sans-serif;margin:24px}"
           "table{border-collapse:collapse;font-variant-numeric:tabular-nums}th,td{padding:4px 8px;border-bottom:1px "
           "solid #8886;text-align:right}th:first-child,td:first-child,td.text{text-align:left}tr.pooled td{font-weight:600}"
           "</style></head><body><h1>Accuracy campaign</h1><p>" << c.entries.size() << " reports, "
        << c.pooled.points.size() << " checkpoints; lengths in " << UnitName(c.pooled.reporting.units)
        << "; the pooled row assesses every point together"
        << (c.pooled.vertical ? "" : " (horizontal only: not every report measured elevations)")
        << ".</p><table><thead><tr><th>Report</th><th>Title</th><th>Points</th><th>Flagged</th>";
    for (const CampaignColumn &column : kCampaignColumns) out << "<th>" << column.label << "</th>";
    out << "</tr></thead><tbody>";
    const std::vector<CampaignRow> rows = CampaignRows(c);
    for (size_t i = 0; i < rows.size(); ++i) {
        const CampaignRow &r = rows[i];
        out << "<tr" << (i + 1 == rows.size() ? " class=\"pooled\"" : "") << "><td>" << EscapeHtml(r.file)
            << "</td><td class=\"text\">" << EscapeHtml(r.title) << "</td><td>" << r.points << "</td><td>" << r.flagged
            << "</td>";
        for (const std::string &v : r.values) out << "<td>" << v << "</td>";
        out << "</tr>";
    }
    const Statements s = MakeStatements(c.pooled, c.pooledAssessment.all);
    out << "</tbody></table><h2>Pooled statements</h2><p>NSSDA: " << EscapeHtml(s.nssda) << "</p><p>ASPRS: "
        << EscapeHtml(s.asprsHorizontal) << "</p>"
        << (c.pooled.vertical ? "<p>ASPRS: " + EscapeHtml(s.asprsVertical) + "</p>" : std::string())
        << "</body></html>\n";
    return out.str();
}

}  // namespace zassess
