// framzel-make-clip: writes a short test source (moving pictures and a tone) with FFmpeg's own
// encoders. Exit status: 0 written, 1 failed, 2 wrong command line.
#include "tools/mediagen/ClipGenerator.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

int main(int argc, char** argv) {
    using namespace fz::mediagen;
    CLI::App app{"Writes a short test clip: a moving bar with the frame number in binary along "
                 "the bottom, and a sine tone; optionally a white frame and a click at one time."};
    app.set_version_flag("--version", std::string("framzel-make-clip ") + FRAMZEL_VERSION);

    std::string output;
    std::string kindName = "avi-mpeg4-mp3";
    std::string size = "320x240";
    std::string rate = "25";
    double marker = -1.0;
    bool listKinds = false;
    ClipOptions options;

    std::string kindHelp = "kind of clip:";
    std::size_t count = 0;
    const ClipKindInfo* kinds = AllKinds(&count);
    for (std::size_t i = 0; i < count; ++i)
        kindHelp += std::string(i == 0 ? " " : ", ") + std::string(kinds[i].name);
    app.add_option("output", output, "file to write (replaced when present)");
    app.add_option("-k,--kind", kindName, kindHelp)->capture_default_str();
    app.add_option("-d,--duration", options.durationSeconds, "length in seconds")
        ->capture_default_str()
        ->check(CLI::Range(0.001, 86400.0));
    app.add_option("-s,--size", size, "picture size WIDTHxHEIGHT (even numbers)")
        ->capture_default_str();
    app.add_option("-r,--rate", rate, "pictures per second, N or N/D (e.g. 30000/1001)")
        ->capture_default_str();
    app.add_option("-t,--tone", options.toneHz, "tone frequency in Hz")
        ->capture_default_str()
        ->check(CLI::Range(1.0, 20000.0));
    app.add_option("-m,--marker", marker,
                   "time in seconds of the white frame and the click (none when absent)");
    app.add_option("-g,--keyframe-interval", options.keyFrameInterval,
                   "a key frame every N pictures (0: one per second)")
        ->check(CLI::NonNegativeNumber);
    app.add_option("-b,--video-bitrate", options.videoBitRate,
                   "video bit rate in bits per second (0: from size and rate)")
        ->check(CLI::NonNegativeNumber);
    app.add_flag("--list-kinds", listKinds, "print the kinds with their codecs and exit");
    CLI11_PARSE(app, argc, argv);

    if (listKinds) {
        for (std::size_t i = 0; i < count; ++i) {
            const ClipKindInfo& k = kinds[i];
            std::printf("%-20s .%-4s video %-11s sound %-7s %d Hz, %d channels\n",
                        std::string(k.name).c_str(), std::string(k.extension).c_str(),
                        k.videoCodec.empty() ? "-" : std::string(k.videoCodec).c_str(),
                        k.audioCodec.empty() ? "-" : std::string(k.audioCodec).c_str(),
                        k.sampleRate, k.channels);
        }
        return 0;
    }
    if (output.empty()) {
        std::fprintf(stderr, "framzel-make-clip: no output file given (see --help)\n");
        return 2;
    }
    const auto kind = KindFromName(kindName);
    if (!kind) {
        std::fprintf(stderr, "framzel-make-clip: unknown kind \"%s\" (see --list-kinds)\n",
                     kindName.c_str());
        return 2;
    }
    options.kind = *kind;
    if (std::sscanf(size.c_str(), "%dx%d", &options.width, &options.height) != 2) {
        std::fprintf(stderr, "framzel-make-clip: size \"%s\" is not WIDTHxHEIGHT\n", size.c_str());
        return 2;
    }
    options.frameRateDen = 1;
    const int fields =
        std::sscanf(rate.c_str(), "%d/%d", &options.frameRateNum, &options.frameRateDen);
    if (fields < 1) {
        std::fprintf(stderr, "framzel-make-clip: rate \"%s\" is not N or N/D\n", rate.c_str());
        return 2;
    }
    if (marker >= 0.0)
        options.markerSeconds = marker;

    av_log_set_level(AV_LOG_ERROR);
    std::string error;
    if (!WriteClip(output, options, &error)) {
        std::fprintf(stderr, "framzel-make-clip: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", output.c_str());
    return 0;
}
