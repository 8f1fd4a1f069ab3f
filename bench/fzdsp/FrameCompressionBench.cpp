// Time per frame of the YUV422 encoder, the library path and the scaler, each against
// libjpeg-turbo's own encoder at the same size and quality (80), measured in the same run.
// Prints milliseconds per frame and the ratio to the baseline (lower is faster).
//
// `fzdsp_frame_bench --calls N WIDTH HEIGHT` runs instead each of the YUV422 encoder and the
// baseline N times at one size without timing, for instruction counts under callgrind
// (inclusive cost of EncodeYuv422Jpeg against BaselineEncode, both called N times).

#include "fzdsp/BitmapInfoHeader.h"
#include "fzdsp/PictureScaler.h"
#include "fzdsp/Yuv422JpegEncoder.h"
#include "fzdsp/jpeglib/LibraryJpegWriter.h"
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

// Median over several rounds of the mean CPU time per call, in milliseconds.
double MillisecondsPerCall(const std::function<void()>& call) {
    call();
    std::vector<double> rounds;
    for (int round = 0; round < 7; ++round) {
        int calls = 0;
        const double start = CpuMilliseconds();
        double now = start;
        do {
            call();
            ++calls;
            now = CpuMilliseconds();
        } while (now - start < 150.0);
        rounds.push_back((now - start) / calls);
    }
    std::sort(rounds.begin(), rounds.end());
    return rounds[rounds.size() / 2];
}

void Report(const char* name, int width, int height, double ours, double baseline) {
    std::printf("%-28s %3dx%-3d  %7.3f ms/frame  libjpeg-turbo %7.3f ms  ratio %.2f\n", name, width,
                height, ours, baseline, ours / baseline);
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

    for (const auto& [width, height] : {std::pair{320, 240}, std::pair{176, 144}}) {
        const std::vector<std::uint8_t> bgr = Picture(width, height);
        const std::vector<std::uint8_t> rgb = TopDownRgb(bgr, width, height);
        const double baseline =
            MillisecondsPerCall([&] { BaselineEncode(theirs, width, height, rgb); });
        Report("YUV422 encoder", width, height, MillisecondsPerCall([&] {
                   fz::EncodeYuv422Jpeg(ours, width, height, bgr.data(), kQuality);
               }),
               baseline);
        Report("library path", width, height, MillisecondsPerCall([&] {
                   fz::WriteLibraryJpeg(ours, width, height, bgr.data(), kQuality);
               }),
               baseline);

        const std::vector<std::uint8_t> source = Picture(640, 480);
        fz::BitmapInfoHeader header;
        header.width = 640;
        header.height = 480;
        header.bitCount = 24;
        Report("scaler from 640x480", width, height, MillisecondsPerCall([&] {
                   fz::CPictureScaler scaler;
                   scaler.SetSource(header, source.data());
                   scaler.Scale(width, height);
               }),
               baseline);
    }
    std::filesystem::remove_all(folder);
    return 0;
}
