// The stereo aids as actions: after a pick in one image of a pair, where the
// same ground point falls in the other image (prediction), a correlation
// proposal for it (which `accept` right after it takes as the pick), and the
// local stereo frame (two resampled windows in which parallax is horizontal,
// with a floating mark whose picks are exact). Every front end uses these;
// the computations are the toolkit's (toolkit/geo/stereo_aids.h).
//
// The pick they start from is the last click delivered to a pane of a stereo
// pair since the last accept or clear. The reference height is the current
// point's T&E elevation, or the left model's height offset when the point has
// none.
#ifndef ZAPP_STEREO_ACTIONS_H
#define ZAPP_STEREO_ACTIONS_H

#include <string>

#include "app/actions.h"
#include "toolkit/geo/stereo_aids.h"

namespace zapp {

struct StereoPick {
    bool valid = false;
    PaneId pane;
    double x = 0, y = 0;
};

// The last pick the aids start from (invalid when there is none).
StereoPick LastStereoPick();
// The current point's reference height (metres), and whether it came from
// the point (else the left model's height offset).
double ReferenceHeight(bool *fromPoint = nullptr);

// The data the page draws; false with *why when there is nothing to show.
bool Prediction(zhg::EpipolarCurve *curve, std::string *why);
bool MatchProposal(const zhg::MatchOptions &options, zhg::Proposal *proposal, std::string *why);
// The frame around the last pick's ground point at the reference height, or,
// without a pick, around the current point's T&E marker in the left image.
bool StereoNeighbourhood(const zhg::FrameOptions &options, zhg::StereoFrame *frame, std::string *why);
// The picks of a floating mark in a frame StereoNeighbourhood gave.
zhg::MarkPicks FloatingMark(const zhg::StereoFrame &frame, double u, double v, double height);

namespace act {

// Prints the predicted position in the other image and the curve's ends.
ActionResult Predict();
// Prints the proposal ("x y", coefficient, height) and why it is doubtful;
// the next action, when it is Accept, picks the proposal first.
ActionResult Match(const zhg::MatchOptions &options = {});

}  // namespace act

// Hooks for the other actions: a delivered click, an accept or clear (which
// end a pick), and the proposal an accept right after Match takes.
void NoteStereoPick(const PaneId &pane, double x, double y);
void ForgetStereoPick();
bool TakeProposal(PaneId *pane, double *x, double *y);
// The proposal of the Match just run (its position as printed), for a front
// end to show; false when the last action was not a Match that proposed.
bool ShownProposal(zhg::Proposal *proposal);

}  // namespace zapp

#endif
