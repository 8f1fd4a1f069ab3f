// framzel-cli inspect MOVIE: checks a movie file written by this system field by field.
#include "framzel/cli/CliCommand.h"
#include "framzel/cli/CliConsole.h"

#include <CLI/CLI.hpp>
#include <string>

namespace fz::cli {
namespace {

class InspectCommand final : public CliCommand {
public:
    void Configure(CLI::App& command) override {
        command.add_option("MOVIE", m_movie, "The movie file to check")->required();
        command.add_flag("--json", m_json, "Print the findings as JSON");
        command.add_option("--extract", m_extractFolder,
                           "Write the JPEG frames and the sound (16-bit WAVE) into this folder");
        command.add_option("--sheet", m_sheet,
                           "Write a contact sheet of the frames to this JPEG file");
    }

    ExitStatus Run(const GlobalOptions&) override {
        PrintError("inspect: not part of this build yet");
        return kExitFailed;
    }

private:
    std::string m_movie;
    std::string m_extractFolder;
    std::string m_sheet;
    bool m_json = false;
};

} // namespace

FRAMZEL_CLI_COMMAND(InspectCommand, "inspect", "Check a movie file and show what it holds");

} // namespace fz::cli
