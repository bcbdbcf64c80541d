// The stereo aids for the page: the prediction after a pick, the proposal of
// a match, and the stereo view around the current point, whose frame the
// workspace keeps so that its floating mark's picks are worked out in it.
#include "stereo_feed.h"

#include <cpl_string.h>

#include <cmath>
#include <map>
#include <memory>

#include "app/stereo_actions.h"
#include "numbers.h"
#include "workspace.h"

namespace zsrv {

using json = nlohmann::json;

namespace {

std::string Base64(const std::vector<uint8_t> &bytes) {
    char *encoded = CPLBase64Encode(static_cast<int>(bytes.size()), bytes.data());
    std::string text = encoded ? encoded : "";
    CPLFree(encoded);
    return text;
}

json Failed(const std::string &why) { return json{{"ok", false}, {"why", why}}; }

// A query parameter as a finite number; false when it is missing or is none.
bool Number(const std::map<std::string, std::string> &query, const char *name, double *value) {
    const auto found = query.find(name);
    if (found == query.end()) return false;
    return ReadFinite(found->second, value);
}

json MarkJson(const zhg::MarkPicks &mark) {
    if (!mark.ok) return Failed("the mark lies outside an image's model");
    return json{{"ok", true},
                {"height", mark.height},
                {"file", {{mark.file[0][0], mark.file[0][1]}, {mark.file[1][0], mark.file[1][1]}}},
                {"frame", {{mark.frame[0][0], mark.frame[0][1]}, {mark.frame[1][0], mark.frame[1][1]}}}};
}

}  // namespace

json PredictionJson() {
    zhg::EpipolarCurve curve;
    std::string why;
    if (!zapp::Prediction(&curve, &why)) return Failed(why);
    json points = json::array();
    for (const zhg::CurvePoint &p : curve.points)
        points.push_back(json{{"x", p.x}, {"y", p.y}, {"height", p.height}, {"tick", p.tick}});
    const zhg::CurvePoint &p = curve.predicted;
    return json{{"ok", true},
                {"from", curve.from},
                {"to", curve.to},
                {"points", points},
                {"predicted", curve.hasPredicted ? json{{"x", p.x}, {"y", p.y}, {"height", p.height}} : json()}};
}

json ProposalJson() {
    zhg::Proposal p;
    if (!zapp::ShownProposal(&p)) return nullptr;
    return json{{"to", p.to},       {"x", p.x},           {"y", p.y},     {"coefficient", p.coefficient},
                {"height", p.height}, {"doubtful", p.doubtful}, {"doubt", p.doubt}};
}

Reply Workspace::Stereo(const std::string &what, const std::map<std::string, std::string> &query) {
    if (dialogs_.Pending(nullptr)) return Refused(409, "the tool is waiting for the answer to its question");
    if (what == "prediction") return RunUnlessAsked([] { return Reply{200, PredictionJson()}; });
    if (what == "frame") {
        double half = 64;
        if (query.count("half") && (!Number(query, "half", &half) || half < 16 || half > 256 || half != std::floor(half)))
            return Refused(400, "half must be a whole number of frame pixels from 16 to 256");
        return RunUnlessAsked([this, half] {
            zhg::FrameOptions options;
            options.halfSize = static_cast<int>(half);
            auto frame = std::make_shared<zhg::StereoFrame>();
            std::string why;
            if (!zapp::StereoNeighbourhood(options, frame.get(), &why)) return Reply{200, Failed(why)};
            stereoFrame_ = frame;
            // How far a metre of height moves the mark in each image's window.
            const double c = frame->size / 2.0;
            const zhg::MarkPicks low = zapp::FloatingMark(*frame, c, c, frame->height);
            const zhg::MarkPicks high = zapp::FloatingMark(*frame, c, c, frame->height + 1);
            json shift = json::array();
            for (int i = 0; i < 2; ++i)
                shift.push_back({high.frame[i][0] - low.frame[i][0], high.frame[i][1] - low.frame[i][1]});
            return Reply{200, json{{"ok", true},
                                   {"size", frame->size},
                                   {"height", frame->height},
                                   {"groundPixel", frame->groundPixel},
                                   {"parallaxPerMeter", frame->parallaxPerMeter},
                                   {"residual", frame->residual},
                                   {"shiftPerMeter", shift},
                                   {"toFile", frame->toFile},
                                   {"toFrame", frame->toFrame},
                                   {"grey", {Base64(frame->grey[0]), Base64(frame->grey[1])}}}};
        });
    }
    if (what == "mark") {
        double u = 0, v = 0, height = 0;
        if (!Number(query, "u", &u) || !Number(query, "v", &v) || !Number(query, "height", &height))
            return Refused(400, "u, v and height must be finite numbers");
        return RunUnlessAsked([this, u, v, height] {
            if (!stereoFrame_) return Reply{409, json{{"error", "the stereo view is not open"}}};
            return Reply{200, MarkJson(zapp::FloatingMark(*stereoFrame_, u, v, height))};
        });
    }
    return Refused(404, "nothing here: " + what);
}

}  // namespace zsrv
