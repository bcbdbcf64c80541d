// Aids to measuring a stereo pair, computed from the pair's block exactly as
// the tool converts through it (image to ground at a height, ground to image,
// the intersection of two rays):
//   - prediction: the epipolar curve of a pick in the other image, over the
//     models' height range, and the point on it at a given height;
//   - proposal: the conjugate of a pick found by normalised cross-correlation
//     along that curve, refined to a fraction of a pixel;
//   - a local stereo frame: both images' neighbourhoods of a ground point
//     resampled into one frame in which parallax is horizontal, for a
//     red/cyan view with a floating mark, and the picks of a mark.
//
// Positions are file coordinates (pixel corners, x the column, y the row);
// ground points are longitude and latitude in degrees and heights in metres.
// Images are 0 (left) and 1 (right). Pixels are read through GDAL at full
// resolution in the image's own data type; images of several bands are
// correlated and shown as the mean of their bands.
#ifndef ZHG_STEREO_AIDS_H
#define ZHG_STEREO_AIDS_H

#include <stdint.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "ztypes.h"

namespace zhg {

struct CurvePoint {
    double x = 0, y = 0;  // in the other image
    double height = 0;    // metres
    bool tick = false;    // at a whole multiple of the tick step
};

struct EpipolarCurve {
    bool ok = false;
    std::string error;     // why there is no curve, when !ok
    int from = 0, to = 1;  // the picked image and the other one
    double minHeight = 0, maxHeight = 0;
    // The curve as a polyline, lowest height first: its two ends and every
    // tick between them. Heights whose ray leaves a model's domain are left out.
    std::vector<CurvePoint> points;
    bool hasPredicted = false;
    CurvePoint predicted;  // at the reference height, when it lies in the range
};

struct MatchOptions {
    int window = 21;              // side of the square windows, pixels (odd, 5 to 101)
    double searchHalfRange = 0;   // metres either side of the centre height; 0: the model's height scale
    double minCoefficient = 0.7;  // a lower peak is doubtful
    double uniqueness = 0.05;     // a second peak this close to the best makes it doubtful
};

struct Proposal {
    bool ok = false;
    std::string error;              // why there is no proposal, when !ok
    int from = 0, to = 1;           // the picked image and the other one
    double x = 0, y = 0;            // the proposed position in the other image
    double coefficient = 0;         // correlation at the refined peak, at most 1
    double height = 0;              // metres: the intersection of the pick and the proposal
    double secondCoefficient = -1;  // the best other peak along the curve (-1: none)
    bool doubtful = false;
    std::string doubt;  // why it is doubtful
    // The search: the centre pixels (column, row) of the windows correlated
    // along the curve, lowest height first, and their correlations.
    std::vector<std::array<int, 2>> cells;
    std::vector<double> profile;
};

struct FrameOptions {
    int halfSize = 64;       // the frame is 2 * halfSize frame pixels square
    double groundPixel = 0;  // metres per frame pixel; 0: the finer of the two images' ground pixels
    // Metres either side of the centre's height that the affine models are
    // fitted and their residual taken over; 0: halfSize * groundPixel.
    double heightHalfRange = 0;
};

// A local frame around a ground point in which the epipolar direction is
// horizontal: frame pixel (u, v) shows the ground at (u, v) on the level plane
// through the centre, seen by each image through an affine approximation of
// its model. A point above that plane appears further right (+u) in the
// left image's window than in the right one's, by parallaxPerMeter frame
// pixels a metre; its rows agree to within the residual.
struct StereoFrame {
    bool ok = false;
    std::string error;
    double lon = 0, lat = 0, height = 0;  // the centre (the plane's height)
    int size = 0;                         // frame pixels a side
    double groundPixel = 0;               // metres per frame pixel
    // Frame (u, v) to image file (x, y) per image, and back, in GDAL
    // geotransform order: x = a[0] + u a[1] + v a[2], y = a[3] + u a[4] + v a[5].
    std::array<std::array<double, 6>, 2> toFile{}, toFrame{};
    // The ground directions of u and v on the plane: east and north parts of
    // unit vectors, u then v.
    std::array<double, 4> axes{};
    double parallaxPerMeter = 0;  // frame pixels of u-parallax a metre of height
    // The largest distance (pixels, either image) between the affine models
    // and the sensor models over the frame and the height range; also bounds
    // the rows' disagreement.
    double residual = 0;
    // The two neighbourhoods resampled (bilinear) into the frame, row by row,
    // stretched from their 2nd to 98th percentiles to 0..255; 0 outside an image.
    std::array<std::vector<uint8_t>, 2> grey;
};

// Where a floating mark at frame position (u, v) and a height lies: the
// ground point, its exact position in each image (the picks a click makes),
// and where each image's window shows it.
struct MarkPicks {
    bool ok = false;
    double lon = 0, lat = 0, height = 0;
    std::array<std::array<double, 2>, 2> file{}, frame{};
};

// A stereo pair opened for the aids: its block, built as the tool builds its
// own, and its images kept open for reading.
class StereoAids {
public:
    // Null with *error when a file cannot be opened or has no RPC model.
    static std::unique_ptr<StereoAids> Open(const std::string &left, const std::string &right, std::string *error);
    ~StereoAids();
    StereoAids(const StereoAids &) = delete;
    StereoAids &operator=(const StereoAids &) = delete;

    const std::string &File(int image) const;
    int Width(int image) const;
    int Height(int image) const;
    // The model's height offset and scale (metres).
    double HeightOffset(int image) const;
    double HeightScale(int image) const;
    // The block's model information, for the block's own conversions.
    const Zpho_ModelInfo *ModelInfo() const;

    // The curve of a pick at (x, y) in image from, with a tick every tickStep
    // metres and the predicted point at referenceHeight.
    EpipolarCurve Predict(int from, double x, double y, double referenceHeight, double tickStep = 10.0) const;
    // The conjugate of a pick at (x, y) in image from, searched within
    // centreHeight +- options.searchHalfRange.
    Proposal Match(int from, double x, double y, double centreHeight, const MatchOptions &options = {}) const;
    // The frame around a ground point.
    StereoFrame Frame(double lon, double lat, double height, const FrameOptions &options = {}) const;
    // The floating mark at frame position (u, v) and height.
    MarkPicks Mark(const StereoFrame &frame, double u, double v, double height) const;

    // A window of window x window pixels centred on pixel (column, row),
    // read through GDAL (the mean of the bands), row by row; false when it
    // does not lie wholly inside the image.
    bool ReadWindow(int image, int column, int row, int window, std::vector<double> *pixels) const;

private:
    struct Impl;
    explicit StereoAids(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// The normalised cross-correlation of two equally long windows; 0 when either
// is flat.
double CrossCorrelation(const double *a, const double *b, size_t count);

}  // namespace zhg

#endif
