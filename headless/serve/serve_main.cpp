#include "serve_main.h"

#include <pthread.h>
#include <signal.h>
#include <string.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "app/actions.h"
#include "app/resources.h"
#include "http_server.h"
#include "session/session.h"
#include "workspace.h"

namespace zsrv {

namespace fs = std::filesystem;

namespace {

struct ServeArgs {
    std::string root;
    std::string bind = "127.0.0.1";
    int port = 8080;
    std::string session;
};

bool ReadArgs(const std::vector<std::string> &args, ServeArgs *serve, std::string *why) {
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i], value;
        const size_t equals = name.find('=');
        const bool inline_ = name.compare(0, 2, "--") == 0 && equals != std::string::npos;
        if (inline_) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
        }
        if (name == "--root" || name == "--bind" || name == "--port") {
            if (!inline_) {
                if (i + 1 >= args.size()) {
                    *why = "option " + name + " needs a value";
                    return false;
                }
                value = args[++i];
            }
            if (value.empty()) {
                *why = "option " + name + " needs a value";
                return false;
            }
            if (name == "--root") serve->root = value;
            if (name == "--bind") serve->bind = value;
            if (name == "--port") {
                char *end = nullptr;
                const long port = std::strtol(value.c_str(), &end, 10);
                if (*end != '\0' || port < 0 || port > 65535) {
                    *why = "the port must be a whole number from 0 to 65535 (0: any free port), not \"" + value + "\"";
                    return false;
                }
                serve->port = static_cast<int>(port);
            }
            continue;
        }
        if (name.size() > 1 && name[0] == '-') {
            *why = "unknown option " + args[i] + " for serve";
            return false;
        }
        if (!serve->session.empty()) {
            *why = "serve takes one session at most";
            return false;
        }
        serve->session = args[i];
    }
    return true;
}

// Runs the session the server was started with, leaving its tool open for
// the page, and records the lines that ran (checks of errors kept, so that a
// replay passes the same way; other checks and shows left out). False when
// the session stopped early.
bool ReplaySession(const std::string &path, const std::string &uiDir, const std::vector<std::string> &functionNames,
                   Workspace &workspace, std::ostream &out, std::ostream &err) {
    zses::SessionRunner runner(out, err);
    runner.SetUiDir(uiDir);
    runner.SetFunctionNames(functionNames);
    runner.KeepToolsOpen(true);
    const zses::SessionOutcome outcome = runner.RunFile(path);
    std::ifstream in(path, std::ios::binary);
    std::string line;
    for (int number = 1; std::getline(in, line) && (!outcome.stopped || number < outcome.stopLine); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> words;
        std::string why;
        if (!zses::SplitSessionLine(line, &words, &why) || words.empty() || words[0] == "show") continue;
        if (words[0] == "expect" && !(words.size() > 1 && (words[1] == "error" || words[1] == "report"))) continue;
        workspace.RecordReplayed(words);
    }
    return !outcome.stopped;
}

// A word as the shell reads it back: in single quotes unless it is plain.
std::string ShellWord(const std::string &word) {
    if (!word.empty() && word.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789._/-+") ==
                             std::string::npos)
        return word;
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// How long recovery may take before the server ends without it.
constexpr std::chrono::seconds kRecoveryTime{10};

bool Loopback(const std::string &address) {
    return address == "127.0.0.1" || address == "localhost" || address == "::1" || address.compare(0, 4, "127.") == 0;
}

}  // namespace

std::string ServeHelp() {
    return "  serve [--root DIR] [--bind ADDR] [--port N] [SESSION]\n"
           "      Serves the measuring workspace: the tool in the browser, with its\n"
           "      images, markers, table and labels. Prints the address to open, which\n"
           "      carries a random access token. Files are read and written only under\n"
           "      DIR (default: SESSION's folder, else the current folder). With SESSION,\n"
           "      runs it first (say, start and open), then hands over to the page.\n"
           "      Listens on 127.0.0.1:8080 unless told otherwise (--port 0: any free\n"
           "      port). Ctrl+C (or SIGTERM) stops it; measured results not yet reported\n"
           "      are written to a recovery report and session beside the T&E file first\n"
           "      (inside DIR; a second Ctrl+C ends it at once).\n";
}

int ServeMain(const std::vector<std::string> &args, const std::string &uiDir,
              const std::vector<std::string> &functionNames, std::ostream &out, std::ostream &err) {
    ServeArgs serve;
    std::string why;
    if (!ReadArgs(args, &serve, &why)) {
        err << "zot-host: error: " << why << " (zot-host --help shows the usage)\n";
        return 2;
    }
    std::error_code error;
    if (!serve.session.empty() && !fs::is_regular_file(serve.session, error)) {
        err << "zot-host: error: there is no session file " << serve.session << "\n";
        return 2;
    }
    const std::string sessionFolder =
        serve.session.empty() ? std::string() : fs::absolute(serve.session).parent_path().string();
    const RootFolder root(serve.root.empty() ? (sessionFolder.empty() ? "." : sessionFolder) : serve.root);
    if (!root.Valid()) {
        err << "zot-host: error: the workspace folder " << serve.root << " is not a folder\n";
        return 2;
    }
    if (!sessionFolder.empty() && fs::canonical(sessionFolder, error).string() != root.Path()) {
        err << "zot-host: error: keep the session in the workspace folder " << root.Path()
            << " (its file names are relative to its own folder, and so are the page's)\n";
        return 2;
    }
    const std::string ui = fs::absolute(uiDir).lexically_normal().string();
    const std::string session = serve.session.empty() ? "" : fs::absolute(serve.session).string();

    // The signals that end the server are taken by this thread alone, so
    // they are blocked before any other thread starts.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // A peer that goes away mid-answer, or a reader that closes a pipe, is a
    // write error, never the end of the server.
    signal(SIGPIPE, SIG_IGN);
    if (chdir(root.Path().c_str()) != 0) {
        err << "zot-host: error: cannot enter " << root.Path() << ": " << strerror(errno) << "\n";
        return 2;
    }
    if (!zapp::ConfineFileWrites(root.Path(), &why)) {
        err << "zot-host: error: " << why << "\n";
        return 2;
    }

    Workspace workspace(root.Path());
    workspace.Thread().Run([&] {
        zapp::ResetHost(ui);
        zapp::SetFunctionNames(functionNames);
    });
    if (!session.empty()) {
        const bool ran = workspace.Thread().Run(
            [&] { return ReplaySession(session, ui, functionNames, workspace, out, err); });
        if (!ran) err << "zot-host serve: the session stopped early; the page takes over from where it stopped\n";
    }
    workspace.AfterReplay();

    ServerOptions options;
    options.bind = serve.bind;
    options.port = serve.port;
    options.webDir = ui + "/web";
    options.leafletDir = zapp::LeafletDir();
    HttpServer server(options, workspace);
    if (!server.Bind(&why)) {
        err << "zot-host: error: " << why << "\n";
        return 2;
    }
    out << "zot-host serve: the workspace is at " << server.Address() << "\n"
        << "  files: " << root.Path() << "\n"
        << (Loopback(serve.bind) ? ""
                                 : "  warning: reachable from other machines; anyone holding the address's token "
                                   "can use the tool and the files above\n")
        << "  Ctrl+C stops it\n";
    out.flush();

    std::thread serving([&] { server.Serve(); });
    int received = 0;
    sigwait(&stopSignals, &received);
    out << "zot-host serve: stopping (" << strsignal(received) << ")\n";
    out.flush();
    // Recovery runs on the tool's thread; when that thread does not answer in
    // time (or a second signal comes), the server ends without it.
    auto recovery = std::make_shared<std::promise<std::vector<std::string>>>();
    std::future<std::vector<std::string>> recovered = recovery->get_future();
    std::thread([recovery, &workspace] { recovery->set_value(workspace.Recover()); }).detach();
    const auto until = std::chrono::steady_clock::now() + kRecoveryTime;
    bool ready = false;
    while (!(ready = recovered.wait_for(std::chrono::seconds(0)) == std::future_status::ready) &&
           std::chrono::steady_clock::now() < until) {
        const timespec tick{0, 50 * 1000 * 1000};
        if (sigtimedwait(&stopSignals, nullptr, &tick) > 0) break;
    }
    if (!ready) {
        out << "  the tool did not finish in time (or a second signal came): stopped without writing recovery "
               "files\n";
        out.flush();
        err.flush();
        std::_Exit(1);
    }
    const std::vector<std::string> written = recovered.get();
    if (written.empty()) {
        out << "  nothing was left unreported\n";
    } else {
        out << "  results not yet reported were written to " << written[0] << "\n";
        if (written.size() > 1)
            out << "  the actions that led to them: zot-host run " << ShellWord(written[1])
                << "\n";
    }
    out.flush();
    server.Stop();
    serving.join();
    return 0;
}

}  // namespace zsrv
