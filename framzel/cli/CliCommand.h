#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace fz::cli {

// What framzel-cli returns: 0 the work was done, 1 it was refused or failed, 2 the command line
// was wrong.
enum ExitStatus : int { kExitDone = 0, kExitFailed = 1, kExitUsage = 2 };

// Settings every command shares, filled from the global options before a command runs.
struct GlobalOptions {
    bool verbose = false; // the engine's diagnostics on standard error instead of the log
    bool quiet = false;   // no progress, only results and errors
};

// One subcommand of framzel-cli. A command declares its options on its own CLI11 subcommand
// in Configure() (which stores the parsed values in the command's members) and does its work in
// Run() after the whole command line was parsed. Results go to standard output, progress and
// messages for people to standard error. Everything runs on the main thread.
class CliCommand {
public:
    virtual ~CliCommand() = default;
    virtual void Configure(CLI::App& command) = 0;
    virtual ExitStatus Run(const GlobalOptions& options) = 0;
};

struct CliCommandEntry {
    const char* name;
    const char* summary;
    std::function<std::unique_ptr<CliCommand>()> create;
};

// The commands of the program, in the order of their registration.
std::vector<CliCommandEntry>& CliCommands();

// Adding a command is one file: it defines its CliCommand and registers it with
//   FRAMZEL_CLI_COMMAND(ProbeCommand, "probe", "Show what a media file holds");
// and is listed in framzel/cli/CMakeLists.txt. The files are compiled into the program itself,
// so every registration runs before main().
template <typename Command>
struct CliCommandRegistration {
    CliCommandRegistration(const char* name, const char* summary) {
        CliCommands().push_back(
            {name, summary, [] { return std::unique_ptr<CliCommand>(new Command()); }});
    }
};

#define FRAMZEL_CLI_COMMAND(type, name, summary)                                                   \
    static const ::fz::cli::CliCommandRegistration<type> registration_##type {                     \
        name, summary                                                                              \
    }

} // namespace fz::cli
