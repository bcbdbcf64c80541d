// `zot-host serve` as a user runs it: started, used, and stopped by a signal,
// which always ends it within seconds, with recovery files inside the served
// folder only when measured results would be lost.
#include <gtest/gtest.h>
#include <httplib.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "fixtures/files.h"
#include "fixtures/geo_images.h"
#include "fixtures/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const char kPoints[] = "P1\t44.997\t7.002\t500\t0.5\t1.0\tfirst point\nP2\t44.995\t7.005\t510\t0.5\t1.0\tsecond\n";

// A zot-host serve process and what it printed.
class Served {
public:
    // Runs zot-host serve with args, in cwd when one is given.
    explicit Served(std::vector<std::string> args, const std::string &cwd = "") {
        args.insert(args.begin(), {ZOT_BINARY_DIR "/zot-host", "serve"});
        int out[2];
        if (pipe(out) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            dup2(out[1], 2);
            close(out[0]);
            if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
            std::vector<char *> argv;
            for (std::string &arg : args) argv.push_back(arg.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        out_ = out[0];
        ReadUntil("Ctrl+C stops it", std::chrono::seconds(60));
        const size_t token = text_.find("/#token=");
        if (token != std::string::npos) {
            port_ = std::atoi(text_.c_str() + text_.rfind(':', token) + 1);
            token_ = text_.substr(token + 8, 32);
        }
    }
    ~Served() {
        if (pid_ > 0 && !ended_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) close(out_);
    }
    int Port() const { return port_; }
    const std::string &Token() const { return token_; }
    const std::string &Text() const { return text_; }

    // Reads output until it holds text or the time is up.
    bool ReadUntil(const std::string &text, Clock::duration limit) {
        const auto until = Clock::now() + limit;
        char buffer[4096];
        while (text_.find(text) == std::string::npos && Clock::now() < until) {
            pollfd readable{out_, POLLIN, 0};
            if (poll(&readable, 1, 100) != 1) continue;
            const ssize_t n = read(out_, buffer, sizeof buffer);
            if (n <= 0) break;
            text_.append(buffer, static_cast<size_t>(n));
        }
        return text_.find(text) != std::string::npos;
    }
    // Sends the signal and waits for the end (at most limit): the exit status,
    // or -1 when it did not end.
    int Stop(int signal, Clock::duration limit = std::chrono::seconds(15)) {
        kill(pid_, signal);
        const auto until = Clock::now() + limit;
        int status = 0;
        while (Clock::now() < until) {
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                ended_ = true;
                ReadUntil("\x01", std::chrono::milliseconds(200));
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return -1;
    }
    httplib::Result Post(const std::string &path, const std::string &body) {
        httplib::Client client("127.0.0.1", port_);
        return client.Post(path.c_str(), {{"X-Zot-Token", token_}}, body, "application/json");
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    bool ended_ = false;
    int port_ = 0;
    std::string token_, text_;
};

class ServeMainTest : public ::testing::Test {
protected:
    void SetUp() override {
        zt::ImageOptions options;
        options.width = 100;
        options.height = 80;
        zt::WriteGeographicImage(dir_.File("mono.tif"), options);
        zt::WriteText(dir_.File("my points.txt"), kPoints);
    }
    std::vector<std::string> Recovery() const {
        std::vector<std::string> found;
        for (const auto &entry : fs::directory_iterator(dir_.Path()))
            if (entry.path().filename().string().find("-recovery-") != std::string::npos)
                found.push_back(entry.path().filename().string());
        return found;
    }
    zt::TempDir dir_;
};

TEST_F(ServeMainTest, AStopAlwaysEndsTheServerWithinSeconds) {
    const struct {
        const char *what;
        int signal;
        bool keepAlive;  // a page's connection left open
        std::string bind;
    } cases[] = {
        {"SIGTERM as soon as it serves", SIGTERM, false, "127.0.0.1"},
        {"SIGTERM again", SIGTERM, false, "localhost"},
        {"SIGTERM a third time", SIGTERM, false, "127.0.0.1"},
        {"Ctrl+C with a connection open", SIGINT, true, "127.0.0.1"},
        {"Ctrl+C, reachable from other machines", SIGINT, true, "0.0.0.0"},
        {"SIGTERM on another loopback address", SIGTERM, false, "127.0.0.2"},
    };
    for (const auto &c : cases) {
        Served served({"--port", "0", "--bind=" + c.bind, "--root", dir_.Path()});
        ASSERT_GT(served.Port(), 0) << served.Text();
        httplib::Client page("127.0.0.1", served.Port());
        page.set_keep_alive(true);
        if (c.keepAlive) {
            const auto opened = page.Get("/");
            EXPECT_TRUE(opened && opened->status == 200);
        }
        const auto start = Clock::now();
        EXPECT_EQ(served.Stop(c.signal), 0) << c.what << "\n" << served.Text();
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(5)) << c.what;
        EXPECT_NE(served.Text().find("nothing was left unreported"), std::string::npos) << served.Text();
        EXPECT_EQ(served.Text().find("reachable from other machines") != std::string::npos, c.bind == "0.0.0.0");
    }
    EXPECT_TRUE(Recovery().empty());
}

TEST_F(ServeMainTest, ABadCommandLineIsRefusedWithItsReason) {
    fs::create_directory(dir_.File("sub"));
    zt::WriteText(dir_.File("start.session"), "start mono.tif\n");
    const struct {
        std::vector<std::string> args;
        const char *says;
    } cases[] = {
        {{"--port"}, "option --port needs a value"},
        {{"--root="}, "option --root needs a value"},
        {{"--port", "x"}, "the port must be a whole number from 0 to 65535"},
        {{"--port=70000"}, "the port must be a whole number from 0 to 65535"},
        {{"--port=-1"}, "the port must be a whole number from 0 to 65535"},
        {{"-"}, "there is no session file -"},
        {{"--colour"}, "unknown option --colour"},
        {{dir_.File("start.session"), dir_.File("start.session")}, "serve takes one session at most"},
        {{dir_.File("none.session")}, "there is no session file"},
        {{"--root", dir_.File("none")}, "is not a folder"},
        {{"--root", dir_.File("sub"), dir_.File("start.session")}, "keep the session in the workspace folder"},
        {{"--port", "0", "--bind", "192.0.2.1", "--root", dir_.Path()}, "cannot serve on 192.0.2.1"},
    };
    for (const auto &c : cases) {
        Served served(c.args);
        EXPECT_EQ(served.Stop(0), 2) << served.Text();
        EXPECT_NE(served.Text().find(c.says), std::string::npos) << served.Text();
    }
}

TEST_F(ServeMainTest, TheStartingSessionRunsAndIsRecordedUpToWhereItStopped) {
    // Windows line ends, a comment, a blank line, a show, checks, an error
    // checked, and a command that does not exist, after which nothing runs.
    zt::WriteText(dir_.File("start.session"),
                  "start mono.tif\r\n# the image first\r\n\r\nshow frames\r\nopen \"my points.txt\"\r\n"
                  "expect rows 2\r\nopen missing.txt\r\nexpect error\r\nfly away\r\nrow 2\r\n");
    Served served({"--port", "0", dir_.File("start.session")});
    ASSERT_GT(served.Port(), 0) << served.Text();
    EXPECT_NE(served.Text().find("the session stopped early; the page takes over"), std::string::npos) << served.Text();
    httplib::Client client("127.0.0.1", served.Port());
    const auto recorded = client.Get("/api/session", {{"X-Zot-Token", served.Token()}});
    ASSERT_TRUE(recorded && recorded->status == 200);
    EXPECT_NE(recorded->body.find("\nstart mono.tif\nopen \"my points.txt\"\nopen missing.txt\nexpect error\n"),
              std::string::npos)
        << recorded->body;
    for (const char *left : {"show", "rows", "fly", "row 2", "\r"})
        EXPECT_EQ(recorded->body.find(left), std::string::npos) << left << " in " << recorded->body;
    EXPECT_EQ(served.Stop(SIGTERM), 0) << served.Text();

    // Without a session or --root, the folder it starts in is served.
    Served plain({"--port", "0"}, dir_.Path());
    ASSERT_GT(plain.Port(), 0) << plain.Text();
    EXPECT_NE(plain.Text().find("files: " + dir_.Path() + "\n"), std::string::npos) << plain.Text();
    EXPECT_EQ(plain.Stop(SIGTERM), 0) << plain.Text();
}

TEST_F(ServeMainTest, RecoveryIsWrittenInsideTheFolderOnlyWhenMeasuredResultsWouldBeLost) {
    const std::string te = dir_.File("my points.txt");
    const struct {
        const char *what;
        std::string session;
        bool recovered;
    } cases[] = {
        {"opened, nothing measured", "start mono.tif\nopen \"my points.txt\"\n", false},
        {"a point measured, the T&E file named by its absolute path",
         "start mono.tif\nopen \"" + te + "\"\nclick left main 20 30\naccept\n", true},
    };
    for (const auto &c : cases) {
        zt::WriteText(dir_.File("start.session"), c.session);
        Served served({"--port", "0", dir_.File("start.session")});
        ASSERT_GT(served.Port(), 0) << served.Text();
        EXPECT_EQ(served.Stop(SIGTERM), 0) << c.what << "\n" << served.Text();
        const std::vector<std::string> files = Recovery();
        if (!c.recovered) {
            EXPECT_NE(served.Text().find("nothing was left unreported"), std::string::npos) << served.Text();
            EXPECT_TRUE(files.empty()) << c.what;
            continue;
        }
        ASSERT_EQ(files.size(), 2u) << c.what << "\n" << served.Text();
        // The command printed is quoted for the shell.
        const std::string text = served.Text(), command = "zot-host run '";
        const size_t at = text.find(command);
        ASSERT_NE(at, std::string::npos) << text;
        const std::string run = text.substr(at + command.size(), text.find("'\n", at + command.size()) - at - command.size());
        EXPECT_EQ(run.compare(0, 19, "my points-recovery-"), 0) << text;
        EXPECT_EQ(run.substr(run.size() - 8), ".session") << text;
        EXPECT_TRUE(fs::exists(dir_.File(run))) << text;
        EXPECT_NE(zt::ReadText(dir_.File(run)).find("open \"my points.txt\""), std::string::npos)
            << "recorded relative to the folder";
    }
}

TEST_F(ServeMainTest, APortInUseStopsASecondServerWithAClearMessage) {
    Served first({"--port", "0", "--root", dir_.Path()});
    ASSERT_GT(first.Port(), 0) << first.Text();
    Served second({"--port", std::to_string(first.Port()), "--root", dir_.Path()});
    EXPECT_EQ(second.Stop(0), 2) << second.Text();
    EXPECT_NE(second.Text().find("is in use"), std::string::npos) << second.Text();
    // A reader that goes away mid-answer is a write error, not the server's end.
    zt::WriteText(dir_.File("big.bin"), std::string(8 << 20, 'x'));
    {
        httplib::Client client("127.0.0.1", first.Port());
        client.set_read_timeout(std::chrono::milliseconds(50));
        client.Get("/api/download?path=big.bin", {{"X-Zot-Token", first.Token()}},
                   [](const char *, size_t) { return false; });
    }
    const auto answer = first.Post("/api/action", R"({"action":"close"})");
    EXPECT_TRUE(answer && answer->status == 200);
    EXPECT_EQ(first.Stop(SIGTERM), 0) << first.Text();
}

}  // namespace
