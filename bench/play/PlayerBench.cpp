// The movie player's cost and pacing: a 320 × 240, 15 frames per second KQFF movie of the ADPCM
// kind (8000 Hz mono sound) played to the silent device with an off-screen preview window.
// Prints the CPU time per second of playback (every thread of the process) against a baseline
// measured in the same run: libjpeg-turbo decoding the same pictures from memory plus the
// ADPCM decode of the same sound, with no file, no pacing and no drawing. Then the offset of each
// drawn frame against the audio clock (the sound heard so far, from the start of the device).
#include "fzctrl/convert/AdpcmCodec.h"
#include "fzctrl/play/CMoviePlayer.h"
#include "fzctrl/play/MoviePlayback.h"
#include "platform/com/ModuleCounts.h"
#include "platform/time/TickCount.h"
#include "platform/ui/WindowMessages.h"
#include "platform/ui/WindowPicture.h"
#include "tests/support/fixtures/MovieFixture.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <sys/resource.h>
#include <vector>
// clang-format off
#include <jpeglib.h>
// clang-format on

// The convert area linked here holds COM objects, counted per program.
FZ_COM_DEFINE_MODULE()

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kFramesPerSecond = 15;
constexpr int kSeconds = 6;
constexpr int kSampleRate = 8000;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A textured picture (gradients and noise), so that decoding costs what a real frame costs.
std::vector<std::uint8_t> TexturedJpeg(int index) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = kWidth;
    cinfo.image_height = kHeight;
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 80, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<std::uint8_t> row(kWidth * 3);
    std::uint32_t noise = 12345u + static_cast<std::uint32_t>(index);
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = static_cast<int>(cinfo.next_scanline);
        for (int x = 0; x < kWidth; ++x) {
            noise = noise * 1664525u + 1013904223u;
            const int n = static_cast<int>(noise >> 28);
            row[static_cast<std::size_t>(3 * x)] =
                static_cast<std::uint8_t>((x + index * 4) & 0xFF);
            row[static_cast<std::size_t>(3 * x + 1)] =
                static_cast<std::uint8_t>((y * 2 + n) & 0xFF);
            row[static_cast<std::size_t>(3 * x + 2)] =
                static_cast<std::uint8_t>(((x ^ y) + index * 8 + n) & 0xFF);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::vector<std::uint8_t> jpeg(buffer, buffer + size);
    std::free(buffer);
    return jpeg;
}

void DecodeFromMemory(const std::vector<std::uint8_t>& jpeg, std::vector<std::uint8_t>& rgb) {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&cinfo, TRUE);
    jpeg_start_decompress(&cinfo);
    rgb.resize(static_cast<std::size_t>(cinfo.output_width) * cinfo.output_height * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row =
            rgb.data() + static_cast<std::size_t>(cinfo.output_scanline) * cinfo.output_width * 3;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
}

} // namespace

int main() {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("framzel_player_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder / "c");
    setenv("FRAMZEL_DRIVE_C", (folder / "c").c_str(), 1);
    setenv("FRAMZEL_AUDIO", "null", 1);

    fz::test::KqffAdpcmMovie movie;
    movie.width = kWidth;
    movie.height = kHeight;
    movie.sampleRate = kSampleRate;
    movie.adpcm = fz::test::NoiseBytes(static_cast<std::size_t>(kSampleRate / 2 * kSeconds));
    for (int i = 0; i < kFramesPerSecond * kSeconds; ++i)
        movie.frames.push_back(TexturedJpeg(i));
    const std::string path = (folder / "bench.kqf").string();
    fz::test::WriteBytes(path, fz::test::BuildKqffAdpcm(movie));

    // Baseline: the same decoding work, in memory.
    const double baselineStart = CpuSeconds();
    std::vector<std::uint8_t> rgb;
    for (const auto& frame : movie.frames)
        DecodeFromMemory(frame, rgb);
    std::vector<std::int16_t> pcm(movie.adpcm.size() * 2);
    fz::AdpcmState state;
    fz::AdpcmDecode(movie.adpcm.data(), pcm.data(), static_cast<int>(pcm.size()), &state);
    const double baselineCpu = (CpuSeconds() - baselineStart) / kSeconds;

    // The player, as the control plays: into an off-screen window, through the engine's frame
    // handler. Each draw's tick is noted by the window's draw observer.
    std::atomic<bool> ended{false};
    const fz::ui::WindowHandle window =
        fz::ui::CreateOffscreenWindow(kWidth, kHeight,
                                      [&](fz::ui::WindowHandle, std::uint32_t message,
                                          std::uintptr_t, std::intptr_t) -> std::intptr_t {
                                          if (message == fz::kEndOfMovieMessage)
                                              ended = true;
                                          return 0;
                                      });
    std::mutex drawMutex;
    std::vector<std::uint32_t> drawTicks;
    fz::ui::SetDrawObserver(window, [&](fz::ui::WindowHandle, const fz::ui::Rect&) {
        std::lock_guard lock(drawMutex);
        drawTicks.push_back(fz::time::GetTickCount());
    });
    fz::MoviePlayback playback;
    playback.SetPreviewTarget({window, 0, 0, kWidth, kHeight});
    const double playStart = CpuSeconds();
    const std::uint32_t startTick = fz::time::GetTickCount();
    if (!playback.PlayStart(path)) {
        std::fprintf(stderr, "player_bench: the movie did not start\n");
        return 1;
    }
    while (!ended) {
        fz::ui::PumpMessages();
        fz::ui::WaitMessage(20);
    }
    const double playerCpu = (CpuSeconds() - playStart) / kSeconds;
    playback.PlayStop();
    fz::ui::DestroyWindow(window);
    std::filesystem::remove_all(folder);

    std::printf("player: %dx%d, %d frames/s, %d s of 8000 Hz mono IMA-ADPCM, null audio\n", kWidth,
                kHeight, kFramesPerSecond, kSeconds);
    std::printf("CPU per second of playback: player %.1f ms, baseline (libjpeg-turbo from memory "
                "+ ADPCM) %.1f ms, ratio %.2f\n",
                playerCpu * 1000, baselineCpu * 1000, playerCpu / baselineCpu);

    // Frame k is due at next(k) (total time / frame count apart, from 0); the sound heard when
    // it is drawn is the time since the prefill began (the device starts at the first buffer).
    const double duration = static_cast<double>(playback.TotalTime()) / movie.frames.size();
    std::vector<double> offsets;
    std::uint32_t due = 0;
    for (std::size_t k = 0; k < drawTicks.size(); ++k) {
        offsets.push_back(static_cast<double>(fz::time::TicksBetween(startTick, drawTicks[k])) -
                          due);
        due = static_cast<std::uint32_t>(due + duration);
    }
    if (offsets.empty())
        return 1;
    double sum = 0;
    for (double o : offsets)
        sum += o;
    std::printf("frames drawn: %zu of %zu; offset against the audio clock (ms, negative = "
                "early): min %.0f, mean %.0f, max %.0f; frame interval %.1f ms\n",
                offsets.size(), movie.frames.size(),
                *std::min_element(offsets.begin(), offsets.end()), sum / offsets.size(),
                *std::max_element(offsets.begin(), offsets.end()), duration);
    std::printf("per frame:");
    for (double o : offsets)
        std::printf(" %.0f", o);
    std::printf("\n");
    return 0;
}
