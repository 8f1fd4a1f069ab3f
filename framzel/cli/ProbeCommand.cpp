// framzel-cli probe FILE: the format query of the engine (as the program asks it before it
// plays a movie): picture size, sample rate and channels, or why the file gives none.
#include "framzel/cli/CliCommand.h"
#include "framzel/cli/CliConsole.h"
#include "fzctrl/control/CFramzelCtrl.h"
#include "fzctrl/play/MovieFileKind.h"
#include "platform/avifile/AviFile.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>
#include <sys/stat.h>

namespace fz::cli {
namespace {

// Why the query gave nothing, in words.
std::string Reason(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return "cannot read the file";
    if (IsKqffFile(path))
        return "not a readable KQFF movie (its header is damaged, its magic is not \"KQFF\" "
               "in upper case, or its sound is of another kind)";
    if (IsYhavFile(path))
        return "not a readable YHAV movie (a header check failed or its first picture cannot "
               "be read)";
    avifile::AviFile avi;
    if (avi.Open(path) != avifile::AviError::None)
        return "neither a KQFF or YHAV movie nor an AVI file";
    if (avi.GetStream(avifile::kStreamTypeVideo, 0) == nullptr)
        return "an AVI file without a video stream";
    return "an AVI file without an audio stream";
}

class ProbeCommand final : public CliCommand {
public:
    void Configure(CLI::App& command) override {
        command.add_option("FILE", m_file, "The movie or AVI file to ask")->required();
        command.add_flag("--json", m_json, "Print the answer as JSON");
    }

    ExitStatus Run(const GlobalOptions&) override {
        CFramzelCtrl control;
        long width = 0, height = 0, rate = 0, channels = 0;
        Bool ok = kFalse;
        control.GetFormat(m_file.c_str(), &width, &height, &rate, &channels, &ok);
        if (ok == kFalse) {
            const std::string why = Reason(m_file);
            if (m_json)
                std::printf("{\"ok\": false, \"reason\": \"%s\"}\n", JsonText(why).c_str());
            PrintError("probe: " + m_file + ": " + why);
            return kExitFailed;
        }
        if (m_json) {
            std::printf("{\"ok\": true, \"width\": %ld, \"height\": %ld, \"samplerate\": %ld, "
                        "\"channels\": %ld}\n",
                        width, height, rate, channels);
        } else {
            std::printf("picture: %ld x %ld\nsound: %ld Hz, %ld channel%s\n", width, height, rate,
                        channels, channels == 1 ? "" : "s");
        }
        return kExitDone;
    }

private:
    static std::string JsonText(const std::string& text) {
        std::string out;
        for (char c : text) {
            if (c == '"' || c == '\\')
                out += '\\';
            out += c;
        }
        return out;
    }

    std::string m_file;
    bool m_json = false;
};

} // namespace

FRAMZEL_CLI_COMMAND(ProbeCommand, "probe",
                    "Show a file's picture size and sound format, or why it has none");

} // namespace fz::cli
