#pragma once

#include <cstddef>
#include <cstdint>

namespace fz {

// Where the "fmt " chunk and the sample data of a RIFF WAVE file lie, as offsets into the
// whole file's bytes.
struct WaveChunks {
    std::size_t fmtOffset = 0;  // of the "fmt " chunk header (always 12)
    std::uint32_t fmtSize = 0;  // the fmt body size as the file gives it
    std::size_t dataOffset = 0; // of the "data" chunk header
    std::uint32_t dataSize = 0; // the data body size, cut to the end of the file
};

// The outcome of LocateWaveChunks: `error` is null, or one of the kWaveError texts of
// CWaveFileError.h, naming the first check that failed.
struct WaveLocateResult {
    const char* error = nullptr;
    WaveChunks chunks;
};

// Checks the structure of a WAVE file held in `size` bytes at `data` the way
// CWaveFileHandler::OpenForRead does: "RIFF" at 0 and "WAVE" at 8 (the RIFF size is not
// checked), "fmt " directly at 12, then a walk over the chunks for "data", starting at 36 or,
// when the fmt body is longer than 16 bytes, right after it (20 + fmt size). Chunk sizes are
// taken as they stand, odd ones not padded. Reads nothing outside the `size` bytes whatever the
// sizes in the file say; the fmt body of a successful result lies inside them.
WaveLocateResult LocateWaveChunks(const std::uint8_t* data, std::uint64_t size);

} // namespace fz
