// The images the tool shows, as the page draws them: one slot per image (0
// left, 1 right) with its tiles, and overviews built on request in the
// background for a large image that has none.
#ifndef ZSRV_IMAGE_SLOTS_H
#define ZSRV_IMAGE_SLOTS_H

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "reply.h"
#include "tiles.h"

namespace zsrv {

// A tile request's contrast as written (tile_stretch.h ReadContrast); empty
// texts for the defaults.
struct TileContrast {
    std::string stretch, gamma, contrast, brightness;
};

class ImageSlots {
public:
    // root: the folder relative file names are taken in.
    explicit ImageSlots(std::string root) : root_(std::move(root)) {}
    // Ends the overview builds early and waits for them.
    ~ImageSlots();
    ImageSlots(const ImageSlots &) = delete;
    ImageSlots &operator=(const ImageSlots &) = delete;

    // The files the tool shows, by slot ("" for none); a slot whose file
    // changed, or was replaced on disk, opens it anew. Opening may take a while: call it on the module
    // thread, which owns the order of changes.
    void Note(const std::vector<std::string> &files);
    // [{"image", "file", "revision", "error", "width", "height", "minZoom",
    //   "overviews", "wantsOverviews", "overviewBuild"}], one per slot shown.
    nlohmann::json Json() const;
    // {"image": 0|1}: starts building that image's overviews (202).
    Reply StartOverviews(const nlohmann::json &request);
    // A tile's PNG bytes and 200, or a 4xx or 500 status with *why.
    int Tile(int image, int z, long long x, long long y, const TileContrast &contrast, std::string *png,
             std::string *why);
    // {"image", "file", "revision", "bands": [statistics (tile_stretch.h) with
    // "stretch": [lo, hi] drawn by default]}: what the contrast controls show.
    Reply Statistics(int image) const;
    // Tells the builds to end early.
    void Stop() { stopping_ = true; }

private:
    struct Slot {
        std::string file;   // as the tool opened it
        std::string stamp;  // which version of the file on disk (FileVersion)
        long revision = 0;  // changes with the file and its overviews (for the page's tile cache)
        std::shared_ptr<TileImage> tiles;
        std::string error;  // why it cannot be shown
    };
    struct Build {
        bool running = false;
        double done = 0;
        std::string error;
    };

    // The tiles of the image shown in a slot (null for none), and its revision.
    std::shared_ptr<TileImage> Shown(int image, long *revision) const;

    std::string root_;
    mutable std::mutex mutex_;  // guards what follows
    std::array<Slot, 2> slots_;
    std::array<Build, 2> builds_;
    std::array<std::thread, 2> builders_;  // the last overview build of each image
    std::atomic<bool> stopping_{false};
};

}  // namespace zsrv

#endif
