// The whole fast conversion against FFmpeg decoding alone, on a generated 640 x 480 25-fps
// MPEG-4 / MP3 AVI, in the same run:
//   decode-only   libavformat + libavcodec, every packet of both streams decoded, FFmpeg's
//                 own choice of decoder threads (frame + slice), as the conversion's source has
//   conversion    the control's ConvertStart in fast mode (settings 320 x 240, 6.01 pictures
//                 per second, YUV422 JPEG, quality 80, 8000 Hz mono), through the real media
//                 graph and filters, up to the written movie
// Each run is a child process of its own, so that its peak resident memory (getrusage of the
// child) is its own. The servers are registered into a private settings store first.
// Usage: convert_fast_bench [SECONDS] (the source's length, default 60; 600 for the long run).
#include "bench/support/FfmpegDecodeOnly.h"
#include "fzctrl/control/CFramzelCtrl.h"
#include "tools/mediagen/ClipGenerator.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The fast conversion through the control, as the program starts it. True when the movie was
// written.
bool Convert(const std::string& source, const fs::path& folder) {
    fz::CFramzelCtrl ctrl;
    fz::ConvertParams params{};
    params.width = 320;
    params.height = 240;
    params.framerate = 5;
    params.samplerate = 8000;
    params.bitrate = 24000;
    params.channels = 1;
    params.quality = 80;
    params.jpegformat = 0;
    std::strncpy(params.temp_path, folder.c_str(), sizeof params.temp_path - 1);
    ctrl.ConvertSetParam(reinterpret_cast<long>(&params));
    const std::string target = (folder / "movie.mp4").string();
    fz::Bool ok = fz::kFalse;
    ctrl.ConvertStart(source.c_str(), target.c_str(), fz::kTrue, &ok);
    return ok != fz::kFalse && fs::file_size(target) > 0;
}

struct Run {
    bool ok = false;
    double seconds = 0;
    long peakKiB = 0;
};

// Runs `job` in a child process; its wall time and peak resident memory.
Run InChild(const std::function<bool()>& job) {
    std::fflush(stdout);
    const auto start = Clock::now();
    const pid_t child = fork();
    if (child == 0)
        _exit(job() ? 0 : 1);
    Run run;
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child)
        return run;
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.peakKiB = usage.ru_maxrss;
    return run;
}

bool RegisterServers(const fs::path& bin) {
    for (const char* library : {"libfzmedia.so", "libfzdsp.so"}) {
        const std::string command = "ASAN_OPTIONS=detect_leaks=0 '" + (bin / "fzregsvr").string() +
                                    "' '" + (bin / library).string() + "' >/dev/null";
        if (std::system(command.c_str()) != 0)
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    if (seconds <= 0) {
        std::fprintf(stderr, "usage: %s [SECONDS]\n", argv[0]);
        return 2;
    }
    av_log_set_level(AV_LOG_ERROR);
    char pattern[] = "/tmp/fzbench-XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        return 1;
    const fs::path root = pattern;
    for (const char* sub : {"registry", "c", "work"})
        fs::create_directories(root / sub);
    setenv("FRAMZEL_REGISTRY_DIR", (root / "registry").c_str(), 1);
    setenv("FRAMZEL_DRIVE_C", (root / "c").c_str(), 1);
    setenv("FRAMZEL_AUDIO", "null", 1);

    int result = 1;
    fz::mediagen::ClipOptions options;
    options.kind = fz::mediagen::ClipKind::AviMpeg4Mp3;
    options.durationSeconds = seconds;
    options.width = 640;
    options.height = 480;
    const std::string source = (root / "source.avi").string();
    std::string error;
    if (!RegisterServers(fs::path(FRAMZEL_BINARY_DIR) / "bin")) {
        std::fprintf(stderr, "the media and filter servers could not be registered\n");
    } else if (!fz::mediagen::WriteClip(source, options, &error)) {
        std::fprintf(stderr, "the source could not be written: %s\n", error.c_str());
    } else {
        std::printf("source: %.0f s, 640 x 480, 25 pictures per second, MPEG-4 / MP3, %.1f MB\n",
                    seconds, static_cast<double>(fs::file_size(source)) / 1e6);
        const Run decode = InChild([&] { return fz::bench::DecodeOnly(source).pictures > 0; });
        const Run convert = InChild([&] { return Convert(source, root / "work"); });
        std::printf("%-12s %8.2f s  peak %7.1f MB%s\n", "decode-only", decode.seconds,
                    static_cast<double>(decode.peakKiB) / 1024.0, decode.ok ? "" : "  FAILED");
        std::printf("%-12s %8.2f s  peak %7.1f MB%s\n", "conversion", convert.seconds,
                    static_cast<double>(convert.peakKiB) / 1024.0, convert.ok ? "" : "  FAILED");
        if (decode.ok && convert.ok) {
            std::printf("conversion / decode-only: %.2f\n", convert.seconds / decode.seconds);
            result = 0;
        }
    }
    std::error_code ignored;
    fs::remove_all(root, ignored);
    return result;
}
