// Fuzz target for the WAV file reader. Each input is checked twice: by the chunk walk over an
// exact-size heap copy (so that the address sanitizer sees any read past the end), and by
// CWaveFileHandler through a real file mapping, whose pointers and sizes must stay inside the
// file and agree with the walk.
#include "fzctrl/convert/CWaveFileHandler.h"
#include "fzctrl/convert/WaveChunkLocator.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

// One anonymous in-memory file for the whole run, rewritten for each input.
int InputFile() {
    static int fd = memfd_create("wave_file_fuzzer", MFD_CLOEXEC);
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

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "wave_file_fuzzer: %s\n", what);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto copy = std::make_unique<std::uint8_t[]>(size == 0 ? 1 : size);
    if (size > 0)
        std::memcpy(copy.get(), data, size);
    const fz::WaveLocateResult located = fz::LocateWaveChunks(copy.get(), size);
    if (located.error == nullptr) {
        const fz::WaveChunks& c = located.chunks;
        if (c.dataOffset + 8 + c.dataSize > size || c.fmtOffset + 8 + c.fmtSize > size)
            Fail("located chunk runs past the input");
    }

    if (!WriteInput(data, size))
        return 0;
    fz::CWaveFileHandler handler;
    const std::string path = "/proc/self/fd/" + std::to_string(InputFile());
    try {
        handler.OpenForRead(path);
    } catch (const fz::CWaveFileError& error) {
        const char* expected = size == 0 ? fz::kWaveErrorMapping : located.error;
        if (expected == nullptr || std::strcmp(error.Message(), expected) != 0)
            Fail("handler and chunk walk disagree on a refusal");
        return 0;
    }
    if (located.error != nullptr)
        Fail("handler accepted what the chunk walk refused");

    std::uint32_t fmtSize = 0;
    std::uint32_t dataSize = 0;
    const auto* fmt = reinterpret_cast<const std::uint8_t*>(handler.GetFmt(fmtSize));
    const std::uint8_t* samples = handler.GetData(dataSize);
    const std::uint8_t* start = fmt - 12;
    if (static_cast<std::size_t>(samples - start) != located.chunks.dataOffset + 8 ||
        dataSize != located.chunks.dataSize || fmtSize != located.chunks.fmtSize + 8)
        Fail("handler and chunk walk disagree on the chunks");
    // Touch every byte handed out: all of it must be the input's own bytes.
    if (std::memcmp(fmt, data + 12, fmtSize) != 0 ||
        std::memcmp(samples, data + located.chunks.dataOffset + 8, dataSize) != 0)
        Fail("handed-out bytes differ from the input");
    return 0;
}
