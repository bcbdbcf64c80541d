#include "main/host.h"

#include "app/module_loader.h"
#include "app/resources.h"
#include "serve/serve_main.h"
#include "session/session.h"

namespace zmain {

using zapp::CheckUiScript;
using zapp::kUiScriptName;
using zapp::Module;
using zapp::ModulePath;
using zapp::UiDir;
using zses::SessionHelp;
using zses::SessionRunner;

namespace {

struct Options {
    std::string modulePath = ModulePath();
    std::string uiDir = UiDir();
    std::string command;
    std::vector<std::string> operands;
    bool help = false;
};

// Reads options and the command; false with *why on a bad command line.
bool ReadCommandLine(const std::vector<std::string> &args, Options *options, std::string *why) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options->help = true;
            continue;
        }
        // serve reads its own options.
        if (options->command == "serve") {
            options->operands.push_back(arg);
            continue;
        }
        std::string *target = nullptr;
        std::string name = arg, value;
        bool hasValue = false;
        if (arg.compare(0, 2, "--") == 0 && arg.find('=') != std::string::npos) {
            name = arg.substr(0, arg.find('='));
            value = arg.substr(arg.find('=') + 1);
            hasValue = true;
        }
        if (name == "--module")
            target = &options->modulePath;
        else if (name == "--ui-dir")
            target = &options->uiDir;
        if (target) {
            if (!hasValue) {
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
            *target = value;
            continue;
        }
        if (arg.size() > 1 && arg[0] == '-') {
            *why = "unknown option " + arg;
            return false;
        }
        if (options->command.empty())
            options->command = arg;
        else
            options->operands.push_back(arg);
    }
    return true;
}

}  // namespace

std::string HostHelp() {
    return "Usage: zot-host [OPTIONS] run SESSION...\n"
           "       zot-host [OPTIONS] serve [--root DIR] [--bind ADDR] [--port N] [SESSION]\n"
           "       zot-host [OPTIONS] functions\n"
           "       zot-host assess REPORT [--html FILE] [--json FILE] [--csv FILE] [--geojson FILE] [--crs CRS]\n"
           "       zot-host --help\n"
           "\n"
           "Loads the ZOT Tool module, checks the tool's UI script and runs sessions of user\n"
           "actions against the tool, printing what a user would see.\n"
           "\n"
           "Commands:\n"
           "  run SESSION...   Runs each session file in turn, each on a fresh host.\n"
           "  functions        Lists the module's application functions.\n"
           "  assess REPORT    Assesses a condensed report to the published standards (assess --help).\n" +
           zsrv::ServeHelp() +
           "\n"
           "Options:\n"
           "  --module PATH    The module file to load (default: " + ModulePath() + ").\n"
           "  --ui-dir DIR     The folder holding af_zot.zml and web/ (default: " + UiDir() + ").\n"
           "  -h, --help       Prints this help.\n"
           "\n"
           "Exit status: 0 when every session passed, 1 when a session stopped at an error\n"
           "or a check failed, 2 when the command line is wrong or the module or the UI\n"
           "script cannot be used.\n"
           "\n"
           "SESSIONS\n"
           "\n" +
           SessionHelp();
}

int HostMain(const std::vector<std::string> &args, std::ostream &out, std::ostream &err) {
    Options options;
    std::string why;
    if (!ReadCommandLine(args, &options, &why)) {
        err << "zot-host: error: " << why << " (zot-host --help shows the usage)\n";
        return kHostSetup;
    }
    if (options.help || options.command == "help") {
        out << HostHelp();
        return kHostOk;
    }
    if (options.command != "run" && options.command != "functions" && options.command != "serve") {
        err << "zot-host: error: "
            << (options.command.empty() ? std::string("no command given") : "unknown command " + options.command)
            << " (zot-host --help shows the usage)\n";
        return kHostSetup;
    }
    if (options.command == "run" && options.operands.empty()) {
        err << "zot-host: error: run needs a session file (zot-host --help shows the usage)\n";
        return kHostSetup;
    }
    if (options.command == "functions" && !options.operands.empty()) {
        err << "zot-host: error: functions takes no operands\n";
        return kHostSetup;
    }

    Module module;
    if (!module.Load(options.modulePath, &why)) {
        err << "zot-host: error: " << why << "\n";
        return kHostSetup;
    }
    if (options.command == "functions") {
        for (const std::string &name : module.Names()) out << name << "\n";
        return kHostOk;
    }
    module.InstallResolver();

    SessionRunner runner(out, err);
    runner.SetUiDir(options.uiDir);
    runner.SetFunctionNames(module.Names());
    if (!CheckUiScript(options.uiDir, &why)) {
        err << "zot-host: error: the UI script " << kUiScriptName << " in " << options.uiDir
            << " cannot be used:\n  " << why << "\n";
        return kHostSetup;
    }

    if (options.command == "serve") return zsrv::ServeMain(options.operands, options.uiDir, module.Names(), out, err);
    int status = kHostOk;
    for (const std::string &session : options.operands)
        if (runner.RunFile(session).status != 0) status = kHostFailed;
    return status;
}

}  // namespace zmain
