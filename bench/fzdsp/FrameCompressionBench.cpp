// Time per frame of the YUV422 encoder, the library path and the scaler, each against
// libjpeg-turbo's own encoder at the same size and quality (80), measured in the same run in
// process CPU time. Prints milliseconds per frame and the ratio to the baseline (lower is
// faster); FRAMZEL_SIMD=0 or =sse2 measures the YUV422 encoder's and the scaler's other paths.
// The scaler is also measured as the frame path ran it before its vector kernels: widened to
// 32 bits, scaled by the portable code and packed back to 24 bits.
//
// `fzdsp_frame_bench --calls N WIDTH HEIGHT` runs instead each of the YUV422 encoder and the
// baseline N times at one size without timing, for instruction counts under callgrind
// (inclusive cost of EncodeYuv422Jpeg against BaselineEncode, both called N times).

#include "fzdsp/jpeg/Yuv422JpegEncoder.h"
#include "fzdsp/jpeg/Yuv422Kernels.h"
#include "fzdsp/jpeglib/LibraryJpegWriter.h"
#include "fzdsp/picture/BilinearScaler.h"
#include "fzdsp/picture/BitmapInfoHeader.h"
#include "fzdsp/picture/PictureCopy.h"
#include "fzdsp/picture/PictureScaler.h"
#include "platform/log/Diagnostics.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <jpeglib.h>
#include <unistd.h>

namespace {

constexpr int kQuality = 80;

std::vector<std::uint8_t> Picture(int width, int height) {
    std::vector<std::uint8_t> picture(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &picture[(static_cast<std::size_t>(y) * width + x) * 3];
            p[0] = static_cast<std::uint8_t>(128 + 100 * std::sin(x / 17.0) * std::cos(y / 11.0));
            p[1] = static_cast<std::uint8_t>((x * 255) / width);
            p[2] = static_cast<std::uint8_t>(((x ^ y) & 0x1F) * 4 + (y * 127) / height);
        }
    return picture;
}

// libjpeg-turbo with its defaults, RGB rows top first, to a file like our encoders.
void BaselineEncode(const std::string& path, int width, int height,
                    const std::vector<std::uint8_t>& rgb) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        std::abort();
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, kQuality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPLE*>(rgb.data()) +
                       static_cast<std::size_t>(info.next_scanline) * width * 3;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::fclose(file);
}

// CPU time of this process in milliseconds: the machine is shared, and wall-clock time would
// mostly measure the other jobs.
double CpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Mean CPU time per call over one round of at least `roundMs`, in milliseconds.
double RoundMilliseconds(const std::function<void()>& call, double roundMs) {
    int calls = 0;
    const double start = CpuMilliseconds();
    double now = start;
    do {
        call();
        ++calls;
        now = CpuMilliseconds();
    } while (now - start < roundMs);
    return (now - start) / calls;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Rounds of the baseline and of ours taken in turn, so that both see the same load of the
// shared machine; the medians of each and of the per-round ratios.
struct Comparison {
    double ours;
    double baseline;
    double ratio;
};
Comparison Compare(const std::function<void()>& ours, const std::function<void()>& baseline) {
    ours();
    baseline();
    std::vector<double> oursRounds, baselineRounds, ratios;
    for (int round = 0; round < 11; ++round) {
        baselineRounds.push_back(RoundMilliseconds(baseline, 80.0));
        oursRounds.push_back(RoundMilliseconds(ours, 80.0));
        ratios.push_back(oursRounds.back() / baselineRounds.back());
    }
    return {Median(oursRounds), Median(baselineRounds), Median(ratios)};
}

void Report(const std::string& name, int width, int height, const Comparison& c) {
    std::printf("%-28s %3dx%-3d  %7.3f ms/frame  libjpeg-turbo %7.3f ms  ratio %.2f\n",
                name.c_str(), width, height, c.ours, c.baseline, c.ratio);
}

// The same picture as libjpeg-turbo takes it: RGB, rows top first.
std::vector<std::uint8_t> TopDownRgb(const std::vector<std::uint8_t>& bgr, int width, int height) {
    std::vector<std::uint8_t> rgb(bgr.size());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                rgb[(static_cast<std::size_t>(y) * width + x) * 3 + c] =
                    bgr[(static_cast<std::size_t>(height - 1 - y) * width + x) * 3 + 2 - c];
    return rgb;
}

void CountedCalls(const std::string& ours, const std::string& theirs, int calls, int width,
                  int height) {
    const std::vector<std::uint8_t> bgr = Picture(width, height);
    const std::vector<std::uint8_t> rgb = TopDownRgb(bgr, width, height);
    for (int i = 0; i < calls; ++i) {
        fz::EncodeYuv422Jpeg(ours, width, height, bgr.data(), kQuality);
        BaselineEncode(theirs, width, height, rgb);
    }
}

} // namespace

int main(int argc, char** argv) {
    fz::SetDiagnosticsSink([](std::string_view) {}); // the encoder's two lines per frame
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("fzdsp-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const std::string ours = (folder / "ours.jpg").string();
    const std::string theirs = (folder / "baseline.jpg").string();

    if (argc == 5 && std::string_view(argv[1]) == "--calls") {
        CountedCalls(ours, theirs, std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]));
        std::filesystem::remove_all(folder);
        return 0;
    }

    for (const auto& size : {std::pair{320, 240}, std::pair{176, 144}}) {
        // Plain variables, since the lambdas below capture them and clang 14 cannot capture
        // structured bindings.
        const int width = size.first;
        const int height = size.second;
        const std::vector<std::uint8_t> bgr = Picture(width, height);
        const std::vector<std::uint8_t> rgb = TopDownRgb(bgr, width, height);
        const auto baseline = [&] { BaselineEncode(theirs, width, height, rgb); };
        Report(std::string("YUV422 encoder (") + fz::SelectedYuv422Kernels().name + ")", width,
               height,
               Compare([&] { fz::EncodeYuv422Jpeg(ours, width, height, bgr.data(), kQuality); },
                       baseline));
        Report("library path", width, height,
               Compare([&] { fz::WriteLibraryJpeg(ours, width, height, bgr.data(), kQuality); },
                       baseline));

        const std::vector<std::uint8_t> source = Picture(640, 480);
        fz::BitmapInfoHeader header;
        header.width = 640;
        header.height = 480;
        header.bitCount = 24;
        const fz::BilinearScalerKernels* selected = fz::SelectedBilinearScalerKernels();
        Report(std::string("scaler from 640x480 (") + selected->name + ")", width, height,
               Compare(
                   [&] {
                       fz::CPictureScaler scaler;
                       scaler.SetSource(header, source.data());
                       scaler.Scale(width, height);
                   },
                   baseline));
        // The reference path as it was: widen to 32 bits, the portable scaler, pack to 24.
        std::vector<std::uint8_t> source32(640 * 480 * 4);
        std::vector<std::uint8_t> scaled32(static_cast<std::size_t>(width) * height * 4);
        std::vector<std::uint8_t> packed(static_cast<std::size_t>(width) * height * 3);
        Report("scaler, portable with copies", width, height,
               Compare(
                   [&] {
                       fz::UnpackRgb24To32(source32.data(), 640 * 4, source.data(), 640 * 3, 640,
                                           480);
                       fz::ScaleBilinearPortable(source32.data(), 640, 480, scaled32.data(), width,
                                                 height);
                       fz::PackRgb32To24(packed.data(), static_cast<std::size_t>(width) * 3,
                                         scaled32.data(), static_cast<std::size_t>(width) * 4,
                                         width, height);
                   },
                   baseline));
    }
    std::filesystem::remove_all(folder);
    return 0;
}
