// The deliverable a client is handed: the assessment as a PDF (Cairo, Pango,
// and librsvg for the plots), an ISO 19157 data-quality record (absolute
// external positional accuracy) and an FGDC-style positional accuracy
// paragraph, each with a metadata block that says what was assessed; and a
// campaign of several reports with pooled figures.
#ifndef ZASSESS_DELIVERABLE_H
#define ZASSESS_DELIVERABLE_H

#include <string>
#include <vector>

#include "assess.h"

namespace zassess {

// What the deliverable says of the work besides the figures. Empty texts are
// stated as "not stated".
struct Provenance {
    std::string project, analyst, date;        // date as YYYY-MM-DD
    std::vector<std::string> images;           // from the report's title unless given
    std::string reportFile, reportSha256;      // the condensed report assessed
    std::string checkpointFile, checkpointSha256;  // the T&E file (the checkpoint source)
    std::string crs;                           // horizontal CRS as given (--crs), else from the report's form
    std::string horizontalDatum, verticalDatum;
    std::string software;                      // the tool's name and version
};

// The hex SHA-256 of text.
std::string Sha256Hex(const std::string &text);
// The images a report's title names: "ZOT Report for a.tif and b.tif" gives a.tif and b.tif.
std::vector<std::string> ImagesOfTitle(const std::string &title);
// The version the software was built from.
std::string SoftwareVersion();

// The PDF as bytes; false with a message when Cairo fails.
bool AssessmentPdf(const ResidualSet &set, const Assessment &assessment, const Provenance &provenance,
                   const Backdrop *backdrop, std::string *pdf, std::string *error);
// The door for a host holding the points live (the workspace's server): the
// PDF of the set assessed now, written to path through a temporary file
// renamed into place; a failure leaves path as it was.
bool WriteAssessmentPdf(const std::string &path, const ResidualSet &set, const Provenance &provenance,
                        const Backdrop *backdrop, std::string *error);
std::string Iso19157Xml(const ResidualSet &set, const Assessment &assessment, const Provenance &provenance);
std::string FgdcParagraph(const ResidualSet &set, const Assessment &assessment, const Provenance &provenance);

// The backdrop of the vector map from an image file: a thumbnail at most
// maxPixels on a side and its corners, when the image is georeferenced in the
// form of the set (degrees for a geographic set, map units for a map set).
bool ImageBackdrop(const std::string &path, const ResidualSet &set, int maxPixels, Backdrop *backdrop,
                   std::string *error);

// A campaign: several reports assessed alike, one row each, and the figures
// of all their points pooled.
struct CampaignEntry {
    std::string file;
    ResidualSet set;
    Assessment assessment;
};
struct Campaign {
    std::vector<CampaignEntry> entries;
    ResidualSet pooled;  // every point; vertical only when every report is
    Assessment pooledAssessment;
};
Campaign AssessCampaign(std::vector<CampaignEntry> entries);
// The campaign's table: a header row, one row per report, the pooled row last.
std::vector<std::vector<std::string>> CampaignTable(const Campaign &campaign);
std::string CampaignCsv(const Campaign &campaign);
std::string CampaignHtml(const Campaign &campaign);
bool CampaignPdf(const Campaign &campaign, const Provenance &provenance, std::string *pdf, std::string *error);

}  // namespace zassess

#endif
