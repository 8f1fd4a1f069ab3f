#include "fzdsp/jpeg/Yuv422JpegEncoder.h"

#include "fzdsp/jpeg/Yuv422JpegHeader.h"
#include "fzdsp/jpeg/Yuv422Kernels.h"
#include "fzdsp/jpeg/Yuv422Quantiser.h"
#include "fzdsp/jpeg/Yuv422ScanEncoder.h"
#include "platform/log/Diagnostics.h"

#include <cstdio>
#include <memory>
#include <new>
#include <vector>

namespace fz {
namespace {

constexpr int kMaxWidth = 640;
constexpr int kMaxHeight = 480;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// The header and the data in one write, past the stream's buffer (one system call).
bool WriteFile(std::FILE* file, const std::pmr::vector<std::uint8_t>& fileBytes) {
    std::setvbuf(file, nullptr, _IONBF, 0);
    return std::fwrite(fileBytes.data(), 1, fileBytes.size(), file) == fileBytes.size();
}

} // namespace

bool EncodeYuv422Jpeg(const std::string& path, int width, int height, const std::uint8_t* pixels,
                      int quality) {
    return EncodeYuv422Jpeg(path, width, height, pixels, quality, std::pmr::get_default_resource());
}

bool EncodeYuv422Jpeg(const std::string& path, int width, int height, const std::uint8_t* pixels,
                      int quality, std::pmr::memory_resource* workingMemory) {
    if (width > kMaxWidth || height > kMaxHeight || width < 1 || height < 1 || pixels == nullptr)
        return false;
    const int scale = QualityToScale(quality);

    // The size check comes before the colour conversion, which reads pixel pairs.
    if (height % 8 != 0) {
        DebugPrint("The image height (%d) must be multiples of %d\n", height, 8);
        return true;
    }
    if (width % 16 != 0) {
        DebugPrint("The image width (%d) must be multiples of %d\n", width, 16);
        return true;
    }

    // All working data, and the whole file, exist before the file is created, so that a
    // failure never leaves a partial file behind. The header goes in front of the data.
    std::pmr::vector<std::uint8_t> bytes(workingMemory);
    try {
        bytes.reserve(kYuv422HeaderBytes + static_cast<std::size_t>(width) * height / 4);
        const auto header = BuildYuv422Header(width, height, scale);
        bytes.assign(header.begin(), header.end());
        EncodeYuv422Scan(SelectedYuv422Kernels(), pixels, width, height, scale, workingMemory,
                         bytes);
    } catch (const std::bad_alloc&) {
        DebugPrint("Memory is not enough !!!\n");
        return false;
    }

    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        DebugPrint("Can not open JPEG file %s to write\n", path.c_str());
        return true;
    }
    const bool written = WriteFile(file.get(), bytes);
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed)
        return false;

    const long inputBytes = static_cast<long>(width) * height * 2;
    const long outputBytes = static_cast<long>(bytes.size() - kYuv422HeaderBytes);
    DebugPrint("Input/Output byte counts = (%ld/%ld)\n", inputBytes, outputBytes);
    DebugPrint("Compression ratio = %f (Q = %d)\n",
               static_cast<double>(inputBytes) / static_cast<double>(outputBytes), scale);
    return true;
}

} // namespace fz
