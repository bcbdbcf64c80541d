#include "image_slots.h"

#include <filesystem>

namespace zsrv {

using json = nlohmann::json;

ImageSlots::~ImageSlots() {
    stopping_ = true;
    for (std::thread &builder : builders_)
        if (builder.joinable()) builder.join();
}

void ImageSlots::Note(const std::vector<std::string> &files) {
    for (size_t i = 0; i < slots_.size(); ++i) {
        const std::string file = i < files.size() ? files[i] : std::string();
        const std::string path =
            file.empty() || std::filesystem::path(file).is_absolute() ? file : root_ + "/" + file;
        const std::string stamp = file.empty() ? "" : FileVersion(path);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (slots_[i].file == file && slots_[i].stamp == stamp) continue;
        }
        Slot slot;
        slot.file = file;
        slot.stamp = stamp;
        if (!file.empty()) slot.tiles = TileImage::Open(path, &slot.error);
        std::lock_guard<std::mutex> lock(mutex_);
        slot.revision = slots_[i].revision + 1;
        slots_[i] = slot;
    }
}

json ImageSlots::Json() const {
    std::lock_guard<std::mutex> lock(mutex_);
    json images = json::array();
    for (size_t i = 0; i < slots_.size(); ++i) {
        const Slot &slot = slots_[i];
        if (slot.file.empty()) continue;
        json image{{"image", i}, {"file", slot.file}, {"revision", slot.revision}, {"error", slot.error}};
        if (slot.tiles) {
            const int overviews = slot.tiles->OverviewCount();
            image["width"] = slot.tiles->Width();
            image["height"] = slot.tiles->Height();
            image["minZoom"] = slot.tiles->MinZoom();
            image["overviews"] = overviews;
            image["wantsOverviews"] = WantsOverviews(slot.tiles->Width(), slot.tiles->Height(), overviews);
        }
        const Build &build = builds_[i];
        if (build.running || !build.error.empty())
            image["overviewBuild"] = json{{"running", build.running}, {"done", build.done}, {"error", build.error}};
        images.push_back(image);
    }
    return images;
}

Reply ImageSlots::StartOverviews(const json &request) {
    const json &index = request.value("image", json());
    if (!index.is_number_unsigned() || index.get<unsigned>() > 1) return Refused(400, "\"image\" must be 0 or 1");
    const size_t image = index.get<size_t>();
    std::unique_lock<std::mutex> lock(mutex_);
    if (!slots_[image].tiles) return Refused(400, "no image is shown there");
    if (builds_[image].running) return Refused(409, "overviews of this image are being built already");
    builds_[image] = Build{true, 0, ""};
    std::shared_ptr<TileImage> tiles = slots_[image].tiles;
    // The image's last build has ended (it is not running): its thread is
    // joined before another starts, outside the lock it takes last.
    std::thread finished = std::move(builders_[image]);
    lock.unlock();
    if (finished.joinable()) finished.join();
    lock.lock();
    builders_[image] = std::thread([this, image, tiles] {
        std::string why;
        const bool built = BuildOverviews(tiles->Path(),
                                          [this, image](double done) {
                                              std::lock_guard<std::mutex> lock(mutex_);
                                              builds_[image].done = done;
                                              return !stopping_;
                                          },
                                          &why) &&
                           tiles->Reopen(&why);
        // The page names files relative to the folder; so does the failure.
        for (size_t at; !built && (at = why.find(root_ + "/")) != std::string::npos;) why.erase(at, root_.size() + 1);
        std::lock_guard<std::mutex> lock(mutex_);
        builds_[image].running = false;
        builds_[image].done = built ? 1 : builds_[image].done;
        builds_[image].error = built ? "" : why;
        if (slots_[image].tiles == tiles) ++slots_[image].revision;
    });
    return {202, json{{"started", true}}};
}

std::shared_ptr<TileImage> ImageSlots::Shown(int image, long *revision) const {
    if (image < 0 || image >= static_cast<int>(slots_.size())) return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    if (revision) *revision = slots_[static_cast<size_t>(image)].revision;
    return slots_[static_cast<size_t>(image)].tiles;
}

Reply ImageSlots::Statistics(int image) const {
    long revision = 0;
    const std::shared_ptr<TileImage> tiles = Shown(image, &revision);
    if (!tiles) return Refused(404, "no image is shown as image " + std::to_string(image));
    const std::vector<BandStatistics> statistics = tiles->Statistics();
    const std::vector<BandStretch> stretch = tiles->Stretch();
    json bands = json::array();
    for (size_t b = 0; b < statistics.size() && b < stretch.size(); ++b) {
        json band = ToJson(statistics[b]);
        band["stretch"] = {stretch[b].lo, stretch[b].hi};
        bands.push_back(band);
    }
    return {200, json{{"image", image}, {"revision", revision}, {"bands", bands}}};
}

int ImageSlots::Tile(int image, int z, long long x, long long y, const TileContrast &asked, std::string *png,
                     std::string *why) {
    const std::shared_ptr<TileImage> tiles = Shown(image, nullptr);
    if (!tiles) {
        *why = "no image is shown as image " + std::to_string(image);
        return 404;
    }
    Contrast contrast;
    if (!ReadContrast(asked.stretch, asked.gamma, asked.contrast, asked.brightness, tiles->Bands(), &contrast, why))
        return 400;
    switch (tiles->Render(z, x, y, contrast, png, why)) {
        case TileStatus::kOk: return 200;
        case TileStatus::kOutOfRange: *why = "no such tile"; return 404;
        case TileStatus::kFailed: break;
    }
    return 500;
}

}  // namespace zsrv
