// The stereo aids on the pair the tool shows: the last pick, the reference
// height from the point table, and the actions that print what the aids found.
#include "app/stereo_actions.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/view.h"
#include "automation/display_automation.h"
#include "zblk.h"

namespace zapp {

namespace {

struct StereoState {
    StereoPick pick;
    std::string pickFiles[2];
    // The proposal of the last Match, and the action count it was made at.
    bool hasProposal = false;
    long proposalAction = 0;
    PaneId proposalPane;
    double proposalX = 0, proposalY = 0;
    zhg::Proposal proposal;
};

StereoState &State() {
    static StereoState state;
    return state;
}

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// The files of the pair the tool shows, or false when it shows no pair.
bool PairFiles(std::string files[2]) {
    for (int image = 0; image < 2; ++image) {
        zha::DisplayPaneInfo info;
        Zdis_ViewWindow *pane = zha::PaneOfImage(image, 0);
        if (!pane || !zha::DisplayPane(pane, &info) || info.layers.empty()) return false;
        files[image] = info.layers.back().fileName;
    }
    return true;
}

// The aids on the pair the tool shows. Opened for each use (a few
// milliseconds), so that nothing of the pair outlives the tool.
std::unique_ptr<zhg::StereoAids> Aids(std::string *why) {
    std::string files[2];
    if (!PairFiles(files)) {
        *why = "the tool shows no stereo pair";
        return nullptr;
    }
    return zhg::StereoAids::Open(files[0], files[1], why);
}

// The last pick, when it was made in the pair the tool shows now.
bool CurrentPick(StereoPick *pick, std::string *why) {
    const StereoState &s = State();
    std::string files[2];
    if (!s.pick.valid || !PairFiles(files) || files[0] != s.pickFiles[0] || files[1] != s.pickFiles[1]) {
        *why = "there is no pick to start from (click in one image of the pair first)";
        return false;
    }
    *pick = s.pick;
    return true;
}

// The view with one row of the table (none for -1), and the markers when asked.
View ViewOfRow(int32_t row, bool markers = false) {
    ViewRequest request;
    request.firstRow = row;
    request.rowCount = row >= 0 ? 1 : 0;
    request.markers = markers;
    request.paneMarkers = false;
    return BuildView(request);
}

}  // namespace

StereoPick LastStereoPick() { return State().pick; }

double ReferenceHeight(bool *fromPoint) {
    if (fromPoint) *fromPoint = false;
    const View head = ViewOfRow(-1);
    const View view = ViewOfRow(head.table.currentRow);
    const RowView *row = RowOf(view.table, view.table.currentRow);
    const int32_t column = ColumnByTitle(view.table, "T&E Elevation");
    if (row && column >= 0 && static_cast<size_t>(column) < row->cells.size()) {
        const std::string &text = row->cells[static_cast<size_t>(column)];
        char *end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        if (!text.empty() && end && *end == '\0' && std::isfinite(value)) {
            const PartView *units = FindPart(view, "unitstoggle");
            if (fromPoint) *fromPoint = true;
            return units && units->value == "Feet" ? value * 0.3048 : value;
        }
    }
    std::string why;
    const auto aids = Aids(&why);
    return aids ? aids->HeightOffset(0) : 0.0;
}

namespace {

// Runs an aid on the last pick at the reference height; false with *why when
// there is no pick or the aid finds nothing.
template <typename Result, typename Aid>
bool FromPick(Result *result, std::string *why, Aid aid) {
    StereoPick pick;
    const auto aids = Aids(why);
    if (!aids || !CurrentPick(&pick, why)) return false;
    *result = aid(*aids, pick, ReferenceHeight());
    if (!result->ok) *why = result->error;
    return result->ok;
}

}  // namespace

bool Prediction(zhg::EpipolarCurve *curve, std::string *why) {
    return FromPick(curve, why, [](const zhg::StereoAids &aids, const StereoPick &pick, double height) {
        return aids.Predict(pick.pane.image, pick.x, pick.y, height);
    });
}

bool MatchProposal(const zhg::MatchOptions &options, zhg::Proposal *proposal, std::string *why) {
    return FromPick(proposal, why, [&](const zhg::StereoAids &aids, const StereoPick &pick, double height) {
        return aids.Match(pick.pane.image, pick.x, pick.y, height, options);
    });
}

bool StereoNeighbourhood(const zhg::FrameOptions &options, zhg::StereoFrame *frame, std::string *why) {
    const auto aids = Aids(why);
    if (!aids) return false;
    const double height = ReferenceHeight();
    StereoPick pick;
    std::string none;
    if (!CurrentPick(&pick, &none)) {
        // The current point's T&E marker in the left image.
        const View head = ViewOfRow(-1);
        const View view = ViewOfRow(head.table.currentRow, true);
        const RowView *row = RowOf(view.table, view.table.currentRow);
        const std::string id = row && row->cells.size() > 1 ? row->cells[1] : std::string();
        for (const MarkerView &marker : view.markers)
            if (marker.kind == "T&E" && marker.image == "left" && !id.empty() && marker.label == id)
                pick = {true, PaneId{0, 0}, marker.x, marker.y};
        if (!pick.valid) {
            *why = "there is neither a pick nor a current point with a T&E marker to centre the view on";
            return false;
        }
    }
    // The pick's ray at the reference height.
    const zhg::EpipolarCurve curve = aids->Predict(pick.pane.image, pick.x, pick.y, height);
    if (!curve.ok || !curve.hasPredicted) {
        *why = curve.ok ? "the reference height lies outside the models' heights" : curve.error;
        return false;
    }
    const double left[2] = {pick.pane.image == 0 ? pick.x : curve.predicted.x,
                            pick.pane.image == 0 ? pick.y : curve.predicted.y};
    const double right[2] = {pick.pane.image == 1 ? pick.x : curve.predicted.x,
                             pick.pane.image == 1 ? pick.y : curve.predicted.y};
    double ground[3];
    if (!zblk_FileToObject(aids->ModelInfo(), 0, 1, 1, left, right, ground, 1)) {
        *why = "the pick's ground point cannot be found";
        return false;
    }
    *frame = aids->Frame(ground[0], ground[1], ground[2], options);
    if (!frame->ok) *why = frame->error;
    return frame->ok;
}

zhg::MarkPicks FloatingMark(const zhg::StereoFrame &frame, double u, double v, double height) {
    std::string why;
    const auto aids = Aids(&why);
    return aids ? aids->Mark(frame, u, v, height) : zhg::MarkPicks();
}

namespace act {

ActionResult Predict() {
    ActionResult result;
    BeginAction();
    zhg::EpipolarCurve curve;
    std::string why;
    if (!Prediction(&curve, &why)) {
        result.errors.push_back("cannot predict: " + why);
        return result;
    }
    const char *other = curve.to == 0 ? "left" : "right";
    if (curve.hasPredicted)
        result.result = {Fixed(curve.predicted.x, 2) + " " + Fixed(curve.predicted.y, 2),
                         Fixed(curve.predicted.height, 3) + " m"};
    else
        result.notes.push_back("(the reference height lies outside the heights the models cover)");
    const zhg::CurvePoint &a = curve.points.front(), &b = curve.points.back();
    result.notes.push_back(std::string("the epipolar curve in the ") + other + " image runs from " + Fixed(a.x, 2) +
                           " " + Fixed(a.y, 2) + " (" + Fixed(a.height, 0) + " m) to " + Fixed(b.x, 2) + " " +
                           Fixed(b.y, 2) + " (" + Fixed(b.height, 0) + " m)");
    return result;
}

ActionResult Match(const zhg::MatchOptions &options) {
    ActionResult result;
    const long action = BeginAction();
    StereoState &s = State();
    s.hasProposal = false;
    zhg::Proposal p;
    std::string why;
    if (!MatchProposal(options, &p, &why)) {
        result.errors.push_back("cannot propose a match: " + why);
        return result;
    }
    // The position as printed is the one an accept picks, so that picking the
    // printed position by hand measures the same.
    s.proposalX = std::round(p.x * 100) / 100;
    s.proposalY = std::round(p.y * 100) / 100;
    s.proposalPane = PaneId{p.to, 0};
    s.proposalAction = action;
    s.hasProposal = true;
    s.proposal = p;
    s.proposal.x = s.proposalX;
    s.proposal.y = s.proposalY;
    result.result = {Fixed(s.proposalX, 2) + " " + Fixed(s.proposalY, 2), Fixed(p.coefficient, 3),
                     Fixed(p.height, 3) + " m"};
    result.notes.push_back(std::string("(proposed in the ") + (p.to == 0 ? "left" : "right") +
                           " image; `accept` next picks it and accepts)");
    if (p.doubtful) result.notes.push_back("doubtful: " + p.doubt);
    return result;
}

}  // namespace act

void NoteStereoPick(const PaneId &pane, double x, double y) {
    StereoState &s = State();
    if (!PairFiles(s.pickFiles)) {
        s.pick = StereoPick();
        return;
    }
    s.pick = {true, pane, x, y};
}

void ForgetStereoPick() {
    State().pick = StereoPick();
    State().hasProposal = false;
}

bool TakeProposal(PaneId *pane, double *x, double *y) {
    StereoState &s = State();
    const bool fresh = s.hasProposal && ActionsTaken() == s.proposalAction + 1;
    s.hasProposal = false;
    if (!fresh) return false;
    *pane = s.proposalPane;
    *x = s.proposalX;
    *y = s.proposalY;
    return true;
}

bool ShownProposal(zhg::Proposal *proposal) {
    const StereoState &s = State();
    if (!s.hasProposal || ActionsTaken() != s.proposalAction) return false;
    *proposal = s.proposal;
    return true;
}

}  // namespace zapp
