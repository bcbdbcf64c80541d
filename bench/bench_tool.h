// A started tool for benchmarks, and T&E files of any size over its images.
// Images and files are written once per program run into one temporary folder
// and kept, so that repetitions measure only what they time.
#ifndef ZB_BENCH_TOOL_H
#define ZB_BENCH_TOOL_H

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "fixtures/tool.h"
#include "tefile/te_point_loader.h"

namespace zb {

enum class Kind {
    Mono,          // a geographic (WGS84) image: degrees
    MonoMapUnits,  // a UTM image: meters
    MonoRpc,       // the left image of the stereo pair alone: degrees through its RPC model
    Stereo         // the RPC stereo pair
};

inline zt::TempDir &Folder() {
    static zt::TempDir folder;
    return folder;
}

// The images to start a tool of this kind on, and the ground they cover
// (minimum and maximum X and Y in map units, and a height).
struct Scene {
    std::vector<std::string> images;
    double minX = 0, minY = 0, maxX = 0, maxY = 0, height = 0;
};

// The RPC stereo pair of the Stereo and MonoRpc scenes, written once.
inline const zt::StereoPair &Pair() {
    static const zt::StereoPair pair = zt::WriteStereoPair(Folder().Path(), "pair", zt::RpcStorage::GeoTiffTag);
    return pair;
}

inline const Scene &SceneOf(Kind kind) {
    static std::map<Kind, Scene> scenes;
    auto found = scenes.find(kind);
    if (found != scenes.end()) return found->second;
    Scene scene;
    zt::ImageOptions options;
    options.width = 1000;
    options.height = 1000;
    if (kind == Kind::Mono) {
        options.pixelSize = 1e-5;
        const std::string image = zt::WriteGeographicImage(Folder().File("mono.tif"), options).path;
        scene = Scene{{image}, 7.0, 44.99, 7.01, 45.0, 500.0};
    } else if (kind == Kind::MonoMapUnits) {
        options.pixelSize = 1.0;
        const std::string image = zt::WriteUtmImage(Folder().File("utm.tif"), options).path;
        scene = Scene{{image}, 350000.0, 4984000.0, 351000.0, 4985000.0, 500.0};
    } else {
        const zt::StereoPair &pair = Pair();
        const zt::RpcModel &m = pair.left.rpc;
        scene = Scene{{pair.left.path}, m.minLon, m.minLat, m.maxLon, m.maxLat, m.heightOff};
        if (kind == Kind::Stereo) scene.images.push_back(pair.right.path);
    }
    return scenes.emplace(kind, scene).first->second;
}

// A T&E file of count points on a grid over the scene's ground, 1,000 a row,
// each with an ID and a description as a survey would give them.
inline std::string PointsFile(Kind kind, int count) {
    static std::map<std::pair<Kind, int>, std::string> files;
    auto found = files.find({kind, count});
    if (found != files.end()) return found->second;
    const Scene &scene = SceneOf(kind);
    const int side = 1000;
    std::vector<TEPoint> points(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        TEPoint &p = points[static_cast<size_t>(i)];
        char id[16];
        std::snprintf(id, sizeof id, "P%07d", i);
        p.id = id;
        p.longitude = scene.minX + (scene.maxX - scene.minX) * ((i % side) + 0.5) / side;
        p.latitude = scene.maxY - (scene.maxY - scene.minY) * (((i / side) % side) + 0.5) / side;
        p.elevation = scene.height + (i % 17);
        p.circularError90 = 1.5;
        p.linearError90 = 2.0;
        p.description = "Road crossing";
    }
    const std::string path =
        Folder().File("points_" + std::to_string(static_cast<int>(kind)) + "_" + std::to_string(count) + ".txt");
    TEPointLoader().saveFile(path.c_str(), kind != Kind::MonoMapUnits, points);
    return files.emplace(std::make_pair(kind, count), path).first->second;
}

// A tool started on the scene of a kind, as the UI script starts it.
class Tool {
public:
    explicit Tool(Kind kind) {
        Zerr_Report *err = nullptr;
        if (!session_.Start(SceneOf(kind).images, &err)) problem_ = "start-up failed: " + zt::TakeReport(&err);
        empty_ = Folder().File("empty.txt");
        std::fclose(std::fopen(empty_.c_str(), "w"));
    }

    // Empty when the tool started.
    const std::string &Problem() const { return problem_; }
    ZOT_Data *Record() const { return session_.Record(); }
    zt::ToolSession &Session() { return session_; }

    // Opens a T&E file through the application function; the problem is
    // empty when it opened with count points.
    std::string Open(const std::string &file, int count) {
        Zerr_Report *err = nullptr;
        if (!session_.Call("ZOT_OpenTEFile", {file}, &err)) return "open failed: " + zt::TakeReport(&err);
        if (session_.PointCount() != count) return "the file did not give every point";
        return "";
    }
    // Drops every point by opening an empty file.
    void OpenEmpty() { Open(empty_, 0); }

    // Gives every point a measurement off its T&E position, as measuring would:
    // up to a few meters across, within a meter or two in height.
    void MeasureAll(bool degrees) {
        for (int32_t row = 0; row < session_.PointCount(); ++row) {
            ZOT_Point *p = session_.Point(row);
            const double spread = (row % 97) * (degrees ? 3e-7 : 0.03);
            p->isMeasured = 1;
            p->measuredLongitude = p->teLongitude + spread;
            p->measuredLatitude = p->teLatitude - spread;
            p->measuredElevation = p->teElevation + (row % 7) * 0.25 - 0.75;
            p->mensurationError = 0.3;
        }
    }

private:
    zt::ToolSession session_;
    std::string problem_;
    std::string empty_;
};

}  // namespace zb

#endif
