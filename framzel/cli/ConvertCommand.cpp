// framzel-cli convert SRC [DST]: one fast conversion with the stored settings, overridden for
// this run by the options.
#include "framzel/cli/CliCommand.h"
#include "framzel/cli/CliConsole.h"
#include "framzel/cli/ConvertJob.h"
#include "framzel/cli/TargetNames.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

namespace fz::cli {
namespace {

// "WxH" within the settings' ranges (width 80..320, height 60..320).
std::string CheckSize(const std::string& text) {
    int width = 0;
    int height = 0;
    char end = 0;
    if (std::sscanf(text.c_str(), "%dx%d%c", &width, &height, &end) != 2)
        return "a size is WIDTHxHEIGHT, e.g. 176x144 or 320x240";
    if (width < 80 || width > 320 || height < 60 || height > 320)
        return "the width must lie in 80..320 and the height in 60..320";
    return {};
}

class ConvertCommand final : public CliCommand {
public:
    void Configure(CLI::App& command) override {
        command.add_option("SRC", m_source, "The video to convert")->required();
        command.add_option("DST", m_target,
                           "The movie to write (default: SRC with the extension \"mp4\")");
        command.add_option("--size", m_size, "Picture size WIDTHxHEIGHT (176x144, 320x240, ...)")
            ->check(CLI::Validator(CheckSize, "WxH"));
        command.add_option("--fps", m_framerate, "Pictures per second (1..7)")
            ->check(CLI::Range(1, 30));
        command.add_option("--rotate", m_rotate, "Rotation in degrees: 0, 90, 180 or 270")
            ->check(CLI::IsMember({0, 90, 180, 270}));
        command.add_option("--quality", m_quality, "JPEG quality (10..100)")
            ->check(CLI::Range(10, 100));
        command.add_option("--encoder", m_encoder, "JPEG encoder: yuv422 or library")
            ->check(CLI::IsMember({"yuv422", "library"}));
        command.add_flag("--mono{1},--stereo{2}", m_channels, "One or two sound channels");
        command.add_flag("--vertical-cut,!--no-vertical-cut", m_verticalCut,
                         "Cut the picture's sides to fill a portrait picture");
        command.add_option("--widescreen", m_wideScreen,
                           "Cut off TOP,BOTTOM percent of a widescreen picture, or \"off\"");
        command.add_option("--eq", m_equalizer, "Sound level in dB (-12..12)")
            ->check(CLI::Range(-12, 12));
        command.add_option("--temp", m_tempFolder, "Folder for the intermediate files");
    }

    ExitStatus Run(const GlobalOptions& options) override {
        ConvertOverrides o;
        if (!m_size.empty()) {
            int width = 0;
            int height = 0;
            std::sscanf(m_size.c_str(), "%dx%d", &width, &height);
            o.width = width;
            o.height = height;
        }
        o.framerate = m_framerate;
        o.rotate = m_rotate;
        o.quality = m_quality;
        if (m_encoder)
            o.jpegformat = *m_encoder == "yuv422" ? 1 : 0;
        o.channels = m_channels;
        o.verticalCut = m_verticalCut;
        o.equalizer = m_equalizer;
        if (m_wideScreen) {
            int top = 0;
            int bottom = 0;
            char end = 0;
            if (*m_wideScreen == "off") {
                o.wideScreenCut = false;
            } else if (std::sscanf(m_wideScreen->c_str(), "%d,%d%c", &top, &bottom, &end) == 2 &&
                       top >= 0 && top < 50 && bottom >= 0 && bottom < 50) {
                o.wideScreenCut = true;
                o.wideScreenTop = top;
                o.wideScreenBottom = bottom;
            } else {
                PrintError("--widescreen takes TOP,BOTTOM (percent, each below 50) or \"off\"");
                return kExitUsage;
            }
        }
        if (m_tempFolder)
            o.tempFolder = AbsolutePath(*m_tempFolder);
        const std::string source = AbsolutePath(m_source);
        const std::string target =
            AbsolutePath(m_target.empty() ? DefaultTarget(source) : m_target);
        return RunConversion(source, target, o, options);
    }

private:
    std::string m_source;
    std::string m_target;
    std::string m_size;
    std::optional<int> m_framerate;
    std::optional<int> m_rotate;
    std::optional<int> m_quality;
    std::optional<std::string> m_encoder;
    std::optional<int> m_channels;
    std::optional<bool> m_verticalCut;
    std::optional<std::string> m_wideScreen;
    std::optional<int> m_equalizer;
    std::optional<std::string> m_tempFolder;
};

} // namespace

FRAMZEL_CLI_COMMAND(ConvertCommand, "convert", "Convert one video into a movie (fast mode)");

} // namespace fz::cli
