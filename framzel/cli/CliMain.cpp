// framzel-cli: the command-line sibling of the framzel program, a second thin client of the
// engine. Parses the command line with CLI11, keeps the engine's diagnostics off standard
// output (a log in drive C:, or standard error with --verbose) and runs one subcommand.
#include "framzel/cli/CliCommand.h"
#include "framzel/cli/CliConsole.h"

#include <CLI/CLI.hpp>
#include <memory>
#include <vector>

#ifndef FRAMZEL_VERSION
#define FRAMZEL_VERSION "0"
#endif

namespace fz::cli {

std::vector<CliCommandEntry>& CliCommands() {
    static std::vector<CliCommandEntry> commands;
    return commands;
}

} // namespace fz::cli

int main(int argc, char** argv) {
    using namespace fz::cli;
    CLI::App app{"framzel-cli: converts videos into movies for small portable players and "
                 "checks the movies it wrote",
                 "framzel-cli"};
    app.set_version_flag("--version", "framzel-cli " FRAMZEL_VERSION);
    app.require_subcommand(1);
    GlobalOptions options;
    app.add_flag("-v,--verbose", options.verbose,
                 "Show the engine's diagnostics on standard error (otherwise they go to a log "
                 "in drive C:)");
    app.add_flag("-q,--quiet", options.quiet, "No progress display, only results and errors");

    std::vector<std::unique_ptr<CliCommand>> commands;
    std::vector<CLI::App*> subcommands;
    for (const CliCommandEntry& entry : CliCommands()) {
        commands.push_back(entry.create());
        CLI::App* sub = app.add_subcommand(entry.name, entry.summary);
        sub->fallthrough(); // the global options also after the command's name
        commands.back()->Configure(*sub);
        subcommands.push_back(sub);
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? kExitDone : kExitUsage;
    }

    DiagnosticsRoute route(options.verbose);
    for (std::size_t i = 0; i < commands.size(); ++i)
        if (subcommands[i]->parsed())
            return commands[i]->Run(options);
    return kExitUsage;
}
