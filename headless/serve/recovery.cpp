// Recovery when the process is told to end: what was not reported is written
// beside the T&E file, with the session that replays to it.
#include <ctime>
#include <filesystem>

#include "app/actions.h"
#include "app/measured_points.h"
#include "session/catalogue.h"
#include "workspace.h"

namespace zsrv {

namespace fs = std::filesystem;

std::vector<std::string> Workspace::Recover() {
    std::string teFile;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        teFile = teFile_;
    }
    // Recovery stays inside the root: a T&E file outside it leaves its name.
    if (fs::path(teFile).is_absolute()) teFile = fs::path(teFile).filename().string();
    const fs::path folder = fs::path(teFile).parent_path();
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", std::localtime(&now));
    const std::string stem = (teFile.empty() ? std::string("workspace") : fs::path(teFile).stem().string()) +
                             "-recovery-" + stamp;
    const std::string report = (folder / (stem + ".txt")).generic_string();
    const std::string session = (folder / (stem + ".session")).generic_string();
    // A question the page left open gets the recovery answers too; otherwise
    // a report is written only when measured results would be lost.
    const bool measured =
        dialogs_.Pending(nullptr) ||
        RunUnlessAsked([] { return Reply{zapp::MeasuredResiduals(nullptr).points.empty() ? 204 : 200, nullptr}; })
                .status != 204;
    dialogs_.Unattended(measured ? report : "");
    return thread_.Run([&] {
        if (zapp::ToolsOpen() > 0) Record({"close"}, zses::RunAction({"close"}).Ok());
        std::error_code error;
        if (!fs::exists(root_.Path() + "/" + report, error)) return std::vector<std::string>();
        std::vector<std::string> written{report};
        if (WriteWhole(root_.Path() + "/" + session, recording_.Text(folder.generic_string())))
            written.push_back(session);
        return written;
    });
}

}  // namespace zsrv
