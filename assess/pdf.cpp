// The assessment as a PDF on A4 pages: Cairo draws, Pango sets the text and
// librsvg draws the plots from their SVG. Text flows down the page and a new
// page starts where the next block does not fit.
#include <cairo-pdf.h>
#include <cairo.h>
#include <librsvg/rsvg.h>
#include <pango/pangocairo.h>

#include <cmath>
#include <memory>

#include "deliverable.h"
#include "figure_table.h"
#include "text.h"

namespace zassess {

namespace {

const double kPageWidth = 595.28, kPageHeight = 841.89, kMargin = 42;  // A4 in points
const double kTextWidth = kPageWidth - 2 * kMargin;

cairo_status_t AppendBytes(void *closure, const unsigned char *data, unsigned int length) {
    static_cast<std::string *>(closure)->append(reinterpret_cast<const char *>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

class PdfWriter {
public:
    explicit PdfWriter(std::string *bytes)
        : surface_(cairo_pdf_surface_create_for_stream(AppendBytes, bytes, kPageWidth, kPageHeight)),
          cr_(cairo_create(surface_)) {}
    ~PdfWriter() {
        cairo_destroy(cr_);
        cairo_surface_destroy(surface_);
    }
    PdfWriter(const PdfWriter &) = delete;
    PdfWriter &operator=(const PdfWriter &) = delete;

    void Metadata(const std::string &title, const std::string &author, const std::string &subject) {
        cairo_pdf_surface_set_metadata(surface_, CAIRO_PDF_METADATA_TITLE, ValidUtf8(title).c_str());
        cairo_pdf_surface_set_metadata(surface_, CAIRO_PDF_METADATA_AUTHOR, ValidUtf8(author).c_str());
        cairo_pdf_surface_set_metadata(surface_, CAIRO_PDF_METADATA_SUBJECT, ValidUtf8(subject).c_str());
        cairo_pdf_surface_set_metadata(surface_, CAIRO_PDF_METADATA_CREATOR, SoftwareVersion().c_str());
    }

    // A block of text; returns its height.
    double Text(const std::string &text, double size, bool bold = false, double x = kMargin, double width = kTextWidth,
                bool draw = true, bool right = false) {
        PangoLayout *layout = pango_cairo_create_layout(cr_);
        PangoFontDescription *font = pango_font_description_from_string(bold ? "Sans Bold" : "Sans");
        pango_font_description_set_absolute_size(font, size * PANGO_SCALE);
        pango_layout_set_font_description(layout, font);
        pango_layout_set_width(layout, static_cast<int>(width * PANGO_SCALE));
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
        if (right) pango_layout_set_alignment(layout, PANGO_ALIGN_RIGHT);
        pango_layout_set_text(layout, ValidUtf8(text).c_str(), -1);
        int w = 0, h = 0;
        pango_layout_get_size(layout, &w, &h);
        if (draw) {
            cairo_move_to(cr_, x, y_);
            pango_cairo_show_layout(cr_, layout);
        }
        pango_font_description_free(font);
        g_object_unref(layout);
        return static_cast<double>(h) / PANGO_SCALE;
    }

    void Room(double height) {
        if (y_ + height > kPageHeight - kMargin) NewPage();
    }
    void NewPage() {
        Footer();
        cairo_show_page(cr_);
        ++page_;
        y_ = kMargin;
    }
    void Footer() {
        const double y = y_;
        y_ = kPageHeight - kMargin + 12;
        cairo_set_source_rgb(cr_, 0.35, 0.35, 0.35);
        Text(footer_ + "  \u00b7  page " + std::to_string(page_), 7.5);
        cairo_set_source_rgb(cr_, 0, 0, 0);
        y_ = y;
    }

    void Heading(const std::string &text) {
        Room(60);
        y_ += 8;
        y_ += Text(text, 13, true) + 4;
        cairo_set_line_width(cr_, 0.6);
        cairo_move_to(cr_, kMargin, y_);
        cairo_line_to(cr_, kPageWidth - kMargin, y_);
        cairo_stroke(cr_);
        y_ += 6;
    }
    void Paragraph(const std::string &text, double size = 9.5, bool bold = false) {
        const double height = Text(text, size, bold, kMargin, kTextWidth, false);
        Room(height);
        y_ += Text(text, size, bold) + 5;
    }

    // A table with the given column widths (points; the first column takes
    // what is left) and rows; the header row repeats on each page.
    void Table(const std::vector<std::vector<std::string>> &rows, std::vector<double> widths, double size,
               const std::vector<bool> &highlighted = {}, bool header = true) {
        if (rows.empty()) return;
        double used = 0;
        for (size_t i = 1; i < widths.size(); ++i) used += widths[i];
        widths[0] = kTextWidth - used;
        const auto rowHeight = [&](const std::vector<std::string> &row, bool bold) {
            double h = 0;
            for (size_t c = 0; c < row.size() && c < widths.size(); ++c) {
                h = std::max(h, Text(row[c], size, bold, 0, widths[c] - 4, false));
            }
            return h + 3;
        };
        const auto drawRow = [&](const std::vector<std::string> &row, bool bold, bool shade) {
            const double h = rowHeight(row, bold);
            if (shade) {
                cairo_set_source_rgb(cr_, 0.98, 0.86, 0.86);
                cairo_rectangle(cr_, kMargin, y_ - 1, kTextWidth, h);
                cairo_fill(cr_);
                cairo_set_source_rgb(cr_, 0, 0, 0);
            }
            double x = kMargin;
            for (size_t c = 0; c < row.size() && c < widths.size(); ++c) {
                Text(row[c], size, bold, x + 2, widths[c] - 4, true, header && c > 0);
                x += widths[c];
            }
            y_ += h;
            cairo_set_source_rgb(cr_, 0.75, 0.75, 0.75);
            cairo_set_line_width(cr_, 0.4);
            cairo_move_to(cr_, kMargin, y_ - 1);
            cairo_line_to(cr_, kPageWidth - kMargin, y_ - 1);
            cairo_stroke(cr_);
            cairo_set_source_rgb(cr_, 0, 0, 0);
        };
        Room(rowHeight(rows[0], true) + rowHeight(rows.size() > 1 ? rows[1] : rows[0], false));
        drawRow(rows[0], header, false);
        for (size_t r = 1; r < rows.size(); ++r) {
            if (y_ + rowHeight(rows[r], false) > kPageHeight - kMargin) {
                NewPage();
                drawRow(rows[0], true, false);
            }
            drawRow(rows[r], false, r < highlighted.size() + 1 && highlighted[r - 1]);
        }
        y_ += 6;
    }

    // An SVG plot drawn width points wide at x; returns false when librsvg cannot read it.
    bool Svg(const std::string &svg, double x, double width, double height) {
        GError *error = nullptr;
        RsvgHandle *handle = rsvg_handle_new_from_data(reinterpret_cast<const guint8 *>(svg.data()), svg.size(), &error);
        if (handle == nullptr) {
            if (error != nullptr) g_error_free(error);
            return false;
        }
        const RsvgRectangle viewport{x, y_, width, height};
        const bool drawn = rsvg_handle_render_document(handle, cr_, &viewport, &error);
        if (error != nullptr) g_error_free(error);
        g_object_unref(handle);
        return drawn;
    }
    // Plots two to a row.
    void Plots(const std::vector<std::pair<std::string, std::string>> &plots) {
        const double gap = 14, width = (kTextWidth - gap) / 2, height = width * 480.0 / 640.0;
        for (size_t i = 0; i < plots.size(); i += 2) {
            Room(height + 30);
            for (size_t k = i; k < std::min(plots.size(), i + 2); ++k) {
                const double x = kMargin + (k - i) * (width + gap);
                Svg(plots[k].first, x, width, height);
                const double y = y_;
                y_ += height + 2;
                Text(plots[k].second, 8, false, x, width);
                y_ = y;
            }
            y_ += height + 30;
        }
    }

    bool Finish(std::string *error) {
        Footer();
        cairo_show_page(cr_);
        cairo_surface_finish(surface_);
        const cairo_status_t status = cairo_surface_status(surface_);
        if (status != CAIRO_STATUS_SUCCESS) {
            *error = std::string("cannot make the PDF: ") + cairo_status_to_string(status);
            return false;
        }
        return true;
    }

    void SetFooter(const std::string &footer) { footer_ = footer; }
    double y_ = kMargin;

private:
    cairo_surface_t *surface_;
    cairo_t *cr_;
    int page_ = 1;
    std::string footer_;
};

std::string Or(const std::string &text) { return text.empty() ? "not stated" : text; }

std::string Join(const std::vector<std::string> &texts) {
    std::string joined;
    for (const std::string &t : texts) joined += (joined.empty() ? "" : ", ") + t;
    return joined;
}

void TitleAndMetadata(PdfWriter &pdf, const std::string &title, const ResidualSet &set, const Provenance &p) {
    pdf.y_ += pdf.Text(title, 20, true) + 6;
    pdf.Table({{"Project", Or(p.project)},
               {"Image(s)", Or(Join(p.images))},
               {"T&E file (checkpoints)", Or(p.checkpointFile)},
               {"Analyst", Or(p.analyst)},
               {"Date", Or(p.date)}},
              {0, 360}, 9, {}, false);
    pdf.Heading("Metadata");
    pdf.Table({{"Horizontal CRS", Or(p.crs)},
               {"Horizontal datum", Or(p.horizontalDatum)},
               {"Vertical datum", set.vertical ? Or(p.verticalDatum) : "no elevations measured (mono)"},
               {"Units", UnitName(set.reporting.units)},
               {"Checkpoint source SHA-256", Or(p.checkpointSha256)},
               {"Report", Or(p.reportFile)},
               {"Report SHA-256", Or(p.reportSha256)},
               {"Software", p.software}},
              {0, 360}, 8.5, {}, false);
}

void StatementsBlock(PdfWriter &pdf, const ResidualSet &set, const Figures &f) {
    const Statements s = MakeStatements(set, f);
    pdf.Paragraph("NSSDA (FGDC-STD-007.3-1998)", 9.5, true);
    pdf.Paragraph(s.nssda);
    pdf.Paragraph(s.asprsTitle, 9.5, true);
    pdf.Paragraph(s.asprsHorizontal);
    if (set.vertical) pdf.Paragraph(s.asprsVertical);
    if (!s.asprs3D.empty()) pdf.Paragraph(s.asprs3D);
    if (!s.producerVerdict.empty()) {
        std::vector<std::vector<std::string>> rows{{"Producer check", "Required", "Found", "Result"}};
        std::vector<bool> failed;
        for (const Check &c : s.checks) {
            rows.push_back({c.name, c.required, c.found, c.passed ? "passed" : "FAILED"});
            failed.push_back(!c.passed);
        }
        pdf.Table(rows, {0, 90, 70, 50}, 8.5, failed);
        pdf.Paragraph(s.producerVerdict, 9.5, true);
    }
}

}  // namespace

bool AssessmentPdf(const ResidualSet &set, const Assessment &a, const Provenance &p, const Backdrop *backdrop,
                   std::string *bytes, std::string *error) {
    bytes->clear();
    PdfWriter pdf(bytes);
    pdf.Metadata("Accuracy assessment: " + set.title, p.analyst, "Positional accuracy to NSSDA and ASPRS");
    pdf.SetFooter("Accuracy assessment \u00b7 " + set.title + " \u00b7 " + Or(p.date));
    TitleAndMetadata(pdf, "Accuracy assessment", set, p);

    pdf.Heading("Statements");
    StatementsBlock(pdf, set, a.all);
    if (a.flaggedCount > 0) {
        pdf.Paragraph("Without the " + std::to_string(a.flaggedCount) + " flagged point" +
                          (a.flaggedCount == 1 ? "" : "s") + ":",
                      9.5, true);
        StatementsBlock(pdf, set, a.kept);
    }
    pdf.Paragraph(SpreadText(a.all), 8.5);
    pdf.Paragraph(OutlierRuleText(set), 8.5);

    pdf.Heading("Figures with their 95 % intervals");
    std::vector<std::vector<std::string>> rows{{"Figure", "All (" + std::to_string(a.all.count) + ")",
                                                "Without flagged (" + std::to_string(a.kept.count) + ")", "Unit"}};
    for (size_t i = 0; i < kFigureRowCount; ++i) {
        const FigureRow &row = kFigureRows[i];
        if (row.vertical && !set.vertical) continue;
        rows.push_back({row.label, Fixed(FigureValue(set, a.all, row), 3), Fixed(FigureValue(set, a.kept, row), 3),
                        FigureUnit(set, row)});
    }
    rows.push_back({"Bias (t-test of the mean, p < 0.05)", BiasText(a.all, set.vertical), BiasText(a.kept, set.vertical), ""});
    pdf.Table(rows, {0, 80, 95, 40}, 8);
    if (a.all.count > 0 && a.all.count < 10) {
        pdf.Paragraph("Below 10 points the 90th percentiles by order statistics are the largest values.", 8.5);
    }

    pdf.Heading(std::string("Residuals per point (") + UnitName(set.reporting.units) + ")");
    const double perUnit = MetersPerUnit(set.reporting.units);
    std::vector<std::vector<std::string>> points{{"ID", "dE", "dN"}};
    if (set.vertical) points[0].push_back("dU");
    for (const char *h : {"HE", "T&E CE90", "Ratio H", "Limit H"}) points[0].push_back(h);
    if (set.vertical) points[0].insert(points[0].end(), {"Ratio V", "Limit V"});
    points[0].push_back("Flag");
    std::vector<bool> flagged;
    for (size_t i = 0; i < set.points.size(); ++i) {
        const Residual &r = set.points[i];
        const PointFlag &flag = a.flags[i];
        std::vector<std::string> row{r.id, Fixed(r.dE / perUnit, 3), Fixed(r.dN / perUnit, 3)};
        if (set.vertical) row.push_back(Fixed(r.dU / perUnit, 3));
        row.insert(row.end(), {Fixed(std::hypot(r.dE, r.dN) / perUnit, 3), Fixed(r.refCE90 / perUnit, 3),
                               Fixed(flag.ratioH, 2), Fixed(flag.limitH, 2)});
        if (set.vertical) row.insert(row.end(), {Fixed(flag.ratioV, 2), Fixed(flag.limitV, 2)});
        row.push_back(flag.flagged ? "flagged" : "");
        points.push_back(row);
        flagged.push_back(flag.flagged);
    }
    std::vector<double> widths(points[0].size(), set.vertical ? 44 : 55);
    pdf.Table(points, widths, 7.5, flagged);

    pdf.Room(260);  // the heading with its first row of plots
    pdf.Heading("Plots");
    const Plots plots = MakePlots(set, a, backdrop);
    std::vector<std::pair<std::string, std::string>> shown{
        {plots.vectorMap, "Residual vectors over the image, exaggerated as the arrow shows; the bar gives the ground scale."},
        {plots.histogram, "Horizontal errors HE with the CE90 values."}};
    if (!plots.verticalHistogram.empty()) shown.push_back({plots.verticalHistogram, "Vertical errors VE with \u00b1 LE90."});
    shown.push_back({plots.scatter, "dE against dN with the CE90 circle and the 90 % error ellipse."});
    shown.push_back({plots.qq, "Normal Q-Q plot of the standardized errors per axis."});
    pdf.Plots(shown);
    return pdf.Finish(error);
}

bool CampaignPdf(const Campaign &c, const Provenance &p, std::string *bytes, std::string *error) {
    bytes->clear();
    PdfWriter pdf(bytes);
    pdf.Metadata("Accuracy campaign", p.analyst, "Positional accuracy of several reports");
    pdf.SetFooter("Accuracy campaign \u00b7 " + Or(p.date));
    pdf.y_ += pdf.Text("Accuracy campaign", 20, true) + 6;
    pdf.Table({{"Project", Or(p.project)}, {"Analyst", Or(p.analyst)}, {"Date", Or(p.date)},
               {"Units", UnitName(c.pooled.reporting.units)}, {"Software", p.software}},
              {0, 360}, 9, {}, false);
    pdf.Heading("One row per report, and all points pooled");
    std::vector<std::vector<std::string>> table = CampaignTable(c);
    // Transposed: a column per report keeps the many figures readable.
    std::vector<std::vector<std::string>> columns(table[0].size());
    for (size_t f = 0; f < table[0].size(); ++f) {
        for (const std::vector<std::string> &row : table) columns[f].push_back(row[f]);
    }
    const size_t perPage = 5;
    for (size_t first = 1; first < table.size(); first += perPage) {
        std::vector<std::vector<std::string>> part;
        for (const std::vector<std::string> &column : columns) {
            std::vector<std::string> row{column[0]};
            for (size_t k = first; k < std::min(table.size(), first + perPage); ++k) row.push_back(column[k]);
            part.push_back(row);
        }
        pdf.Table(part, std::vector<double>(part[0].size(), 80), 8);
    }
    pdf.Heading("Pooled statements");
    StatementsBlock(pdf, c.pooled, c.pooledAssessment.all);
    for (const CampaignEntry &e : c.entries) pdf.Paragraph(e.file + ": " + e.set.title, 8.5);
    return pdf.Finish(error);
}

}  // namespace zassess

// Fontconfig, Pango and GLib keep their caches and type registrations for the
// life of the process by design; under the leak checker those are no leaks of
// ours.
#if defined(__SANITIZE_ADDRESS__)
#define ZASSESS_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZASSESS_LEAK_CHECKED 1
#endif
#endif
#ifdef ZASSESS_LEAK_CHECKED
extern "C" const char *__lsan_default_suppressions() {
    return "leak:libfontconfig\nleak:libpango\nleak:libpangoft2\nleak:libpangocairo\nleak:libcairo\n"
           "leak:librsvg\nleak:libglib\nleak:libgobject\nleak:libgio\nleak:libharfbuzz\n";
}
#endif
