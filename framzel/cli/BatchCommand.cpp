// framzel-cli batch FILES|FOLDERS... --out DIR: converts a list of videos into one folder.
#include "framzel/cli/CliCommand.h"
#include "framzel/cli/CliConsole.h"

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace fz::cli {
namespace {

class BatchCommand final : public CliCommand {
public:
    void Configure(CLI::App& command) override {
        command.add_option("SOURCES", m_sources, "Videos, or folders whose videos to convert")
            ->required();
        command.add_option("-o,--out", m_outputFolder, "The folder the movies go to")->required();
        command.add_flag("--overwrite", m_overwrite, "Convert also files whose movie exists");
        command.add_option("-j,--jobs", m_jobs, "Files converted at once (default: the cores)")
            ->check(CLI::PositiveNumber);
    }

    ExitStatus Run(const GlobalOptions&) override {
        PrintError("batch: the conversion driver is not part of this build yet");
        return kExitFailed;
    }

private:
    std::vector<std::string> m_sources;
    std::string m_outputFolder;
    bool m_overwrite = false;
    int m_jobs = 0;
};

} // namespace

FRAMZEL_CLI_COMMAND(BatchCommand, "batch", "Convert a list of videos or folders into one folder");

} // namespace fz::cli
