// framzel-cli convert SRC [DST]: one fast conversion with the stored settings, overridden for
// this run by the options.
#include "framzel/cli/CliCommand.h"
#include "framzel/cli/CliConsole.h"

#include <CLI/CLI.hpp>
#include <string>

namespace fz::cli {
namespace {

class ConvertCommand final : public CliCommand {
public:
    void Configure(CLI::App& command) override {
        command.add_option("SRC", m_source, "The video to convert")->required();
        command.add_option("DST", m_target,
                           "The movie to write (default: SRC with the extension \"mp4\")");
    }

    ExitStatus Run(const GlobalOptions&) override {
        PrintError("convert: the conversion driver is not part of this build yet");
        return kExitFailed;
    }

private:
    std::string m_source;
    std::string m_target;
};

} // namespace

FRAMZEL_CLI_COMMAND(ConvertCommand, "convert", "Convert one video into a movie (fast mode)");

} // namespace fz::cli
