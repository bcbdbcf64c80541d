// Whether the files a user chose belong together, told in the user's words.
#include "app/file_fit.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <vector>

#include "automation/display_automation.h"
#include "automation/image_coordinates.h"

namespace zapp {

namespace {

// The first lines of a T&E file are enough to tell what its coordinates are.
const int kLinesLookedAt = 1000;

enum class CoordinateKind { Unknown, LatitudeLongitude, Map };

std::string Trimmed(const std::string &text) {
    const size_t first = text.find_first_not_of(" \t\r\v\f");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r\v\f") - first + 1);
}

// Degrees, minutes and seconds ("46 59 49.2", "46:59:49.2", "W 7.5") are angles
// whatever their size.
bool LooksLikeAngle(const std::string &field) {
    return field.find_first_of(": NSEWnsew") != std::string::npos;
}

bool Number(const std::string &field, double *value) {
    if (field.empty()) return false;
    char *end = nullptr;
    *value = std::strtod(field.c_str(), &end);
    return *end == '\0' && std::isfinite(*value);
}

// What most of the file's lines hold in their coordinate fields (the second and
// third), judged by their ranges: latitude within 90 and longitude within 360
// degrees, or a value no angle can be (map X and Y).
CoordinateKind KindOfCoordinates(const std::string &teFile) {
    std::ifstream in(teFile, std::ios::binary);
    std::string line;
    int lines = 0, angles = 0, map = 0;
    while (lines < kLinesLookedAt && std::getline(in, line)) {
        std::vector<std::string> fields;
        size_t start = 0;
        for (size_t tab; fields.size() < 3 && (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
            fields.push_back(line.substr(start, tab - start));
        if (fields.size() < 3) continue;
        ++lines;
        const std::string first = Trimmed(fields[1]), second = Trimmed(fields[2]);
        double a = 0, b = 0;
        if (LooksLikeAngle(first) || LooksLikeAngle(second))
            ++angles;
        else if (Number(first, &a) && Number(second, &b)) {
            if (std::fabs(a) <= 90 && std::fabs(b) <= 360)
                ++angles;
            else if (std::fabs(a) > 360 || std::fabs(b) > 360)
                ++map;
        }
    }
    if (2 * angles > lines) return CoordinateKind::LatitudeLongitude;
    if (2 * map > lines) return CoordinateKind::Map;
    return CoordinateKind::Unknown;
}

struct ToolImage {
    std::string file;
    int width = 0, height = 0;
    Zdis_Layer *layer = nullptr;
};

// The images in the tool's main panes, left first.
std::vector<ToolImage> ToolImages() {
    std::vector<ToolImage> images;
    for (int image = 0; image < 2; ++image) {
        zha::DisplayPaneInfo pane;
        Zdis_ViewWindow *window = zha::PaneOfImage(image, 0);
        if (!window || !zha::DisplayPane(window, &pane) || pane.layers.empty()) continue;
        const zha::DisplayLayerInfo &layer = pane.layers.back();
        images.push_back(ToolImage{layer.fileName, layer.width, layer.height, layer.layer});
    }
    return images;
}

std::string SystemOf(const zha::ImageCoordinates &image) { return image.system + " " + image.unit; }

// Why a T&E file's points do not fit the image, from the kind of its
// coordinates and the image's; "" when the kinds agree.
std::string KindCause(CoordinateKind kind, const zha::ImageCoordinates &image) {
    if (kind == CoordinateKind::LatitudeLongitude && image.map)
        return "the T&E file's coordinates look like latitude/longitude but the image is in " + SystemOf(image);
    if (kind == CoordinateKind::Map && image.geographic)
        return "the T&E file's coordinates look like map X/Y but the image is in latitude/longitude (" +
               image.system + ")";
    return "";
}

}  // namespace

std::string PointsOutsideTheImages(const std::string &teFile) {
    const std::vector<ToolImage> images = ToolImages();
    if (images.empty()) return "";
    // Each point has one T&E marker in each image; a point fits when its marker
    // lies inside at least one image.
    size_t points = 0, fitting = 0;
    for (const ToolImage &image : images) {
        const zha::MarkersOnLayer markers = zha::CountMarkersOnLayer(image.layer, "T&E", image.width, image.height);
        if (&image == &images[0]) points = markers.count;
        fitting = std::max(fitting, markers.inside);
    }
    if (points == 0 || 2 * fitting >= points) return "";

    const std::string file = "the T&E file " + teFile;
    const std::string where = images.size() == 2 ? "the images" : "the image";
    std::string text;
    if (points == 1)
        text = "The only point of " + file + " lies outside " + where;
    else if (fitting == 0)
        text = "None of the " + std::to_string(points) + " points of " + file + " lies in " +
               (images.size() == 2 ? "either image" : "the image");
    else
        text = std::to_string(points - fitting) + " of the " + std::to_string(points) + " points of " + file +
               " lie outside " + where;
    const zha::ImageCoordinates image = zha::DescribeImageCoordinates(images[0].file);
    const std::string cause = KindCause(KindOfCoordinates(teFile), image);
    if (!cause.empty())
        text += ": " + cause + ".";
    else if (image.readable && !image.system.empty())
        text += ". Is it the T&E file of this image, in its coordinates (" + SystemOf(image) + ")?";
    else
        text += ". Is it the T&E file of this image?";
    return text + " The points are kept.";
}

std::string CoordinatesOfAnotherKind(const std::string &teFile) {
    const std::vector<ToolImage> images = ToolImages();
    if (images.empty()) return "";
    const std::string cause =
        KindCause(KindOfCoordinates(teFile), zha::DescribeImageCoordinates(images[0].file));
    if (cause.empty()) return "";
    return "The T&E file " + teFile + " does not fit the image: " + cause + ".";
}

std::string PairWithoutSensorModels(const std::string &left, const std::string &right) {
    std::vector<std::string> lacking;
    std::vector<std::string> files{left};
    if (right != left) files.push_back(right);
    for (const std::string &file : files) {
        const zha::ImageCoordinates image = zha::DescribeImageCoordinates(file);
        if (!image.readable || image.rpc) continue;
        std::string what = file + " has none";
        if (!image.system.empty()) what += " (it is georeferenced in " + SystemOf(image) + ")";
        lacking.push_back(what);
    }
    if (lacking.empty()) return "";
    std::string text = "A stereo pair needs two images with RPC sensor models; " + lacking[0];
    if (lacking.size() == 2) text += ", and " + lacking[1];
    return text + ". Start one image alone to measure it in mono.";
}

}  // namespace zapp
