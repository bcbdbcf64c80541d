// What the page draws the stereo aids from (app/stereo_actions.h), as JSON:
// the epipolar curve of the last pick, the proposal of the match just run,
// and the local stereo view with its floating mark.
#ifndef ZSRV_STEREO_FEED_H
#define ZSRV_STEREO_FEED_H

#include <nlohmann/json.hpp>

namespace zsrv {

// {"ok": true, "from", "to", "points": [{x, y, height, tick}], "predicted":
// {x, y, height} or null}, or {"ok": false, "why"}. Module thread.
nlohmann::json PredictionJson();
// {"to", "x", "y", "coefficient", "height", "doubtful", "doubt"} of the match
// just run, or null. Module thread.
nlohmann::json ProposalJson();

}  // namespace zsrv

#endif
