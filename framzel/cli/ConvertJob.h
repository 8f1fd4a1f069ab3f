#pragma once

#include "framzel/cli/CliCommand.h"

#include <optional>
#include <string>

namespace fz::cli {

// Settings that override the stored ones for one run of framzel-cli convert.
struct ConvertOverrides {
    std::optional<int> width;
    std::optional<int> height;
    std::optional<int> framerate;
    std::optional<int> rotate;
    std::optional<int> quality;
    std::optional<int> jpegformat; // 0 library path, 1 YUV422 encoder
    std::optional<int> channels;
    std::optional<bool> verticalCut;
    std::optional<bool> wideScreenCut;
    std::optional<int> wideScreenTop;    // percent
    std::optional<int> wideScreenBottom; // percent
    std::optional<int> equalizer;        // dB
    std::optional<std::string> tempFolder;
};

// Converts `source` into `target` (absolute host paths) in fast mode with a control of the
// engine, on the calling (main) thread, which serves as the window thread: the engine pumps
// its messages, and the progress display is polled every 100 ms from the pump, as the program's
// timer does. Ctrl-C stops the conversion as the Stop button does (the movie holds what was
// converted); a second Ctrl-C abandons it, leaving no movie (an earlier file at the target
// stays as it was). Messages for people go to standard error; returns the exit status.
// FRAMZEL_AUDIO defaults to the silent backend here: nothing is played.
ExitStatus RunConversion(const std::string& source, const std::string& target,
                         const ConvertOverrides& overrides, const GlobalOptions& options);

} // namespace fz::cli
