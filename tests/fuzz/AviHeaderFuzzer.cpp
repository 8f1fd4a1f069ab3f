// Fuzz target for the AVI header reader: the header list parser over an exact-size heap copy (so
// that the address sanitizer sees any read past the end), and the whole-file reader through a
// real file, whose streams must agree with the parser's view of the same bytes.
#include "platform/avifile/AviFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

int InputFile() {
    static int fd = memfd_create("avi_header_fuzzer", MFD_CLOEXEC);
    return fd;
}

bool WriteInput(const std::uint8_t* data, std::size_t size) {
    const int fd = InputFile();
    if (fd < 0 || ftruncate(fd, 0) != 0)
        return false;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto copy = std::make_unique<std::uint8_t[]>(size == 0 ? 1 : size);
    if (size > 0)
        std::memcpy(copy.get(), data, size);
    fz::avifile::AviHeaders headers;
    if (fz::avifile::ParseAviHeaderList(copy.get(), size, headers) == fz::avifile::AviError::None) {
        std::size_t formatBytes = 0;
        for (const auto& stream : headers.streams)
            formatBytes += stream.format.size();
        if (formatBytes > size) {
            std::fprintf(stderr, "avi_header_fuzzer: formats larger than the input\n");
            std::abort();
        }
    }

    if (!WriteInput(data, size))
        return 0;
    fz::avifile::AviFile file;
    if (file.Open("/proc/self/fd/" + std::to_string(InputFile())) == fz::avifile::AviError::None) {
        std::uint8_t format[40];
        for (const auto& stream : file.Streams())
            fz::avifile::AviFile::ReadFormat(stream, format, sizeof format);
    }
    return 0;
}
