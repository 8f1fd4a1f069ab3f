#include "fzctrl/convert/WaveChunkLocator.h"

#include "platform/bytes/LittleEndian.h"

#include "fzctrl/convert/CWaveFileError.h"

#include <cstring>

namespace fz {
namespace {

constexpr std::uint64_t kChunkHeaderSize = 8;
constexpr std::uint64_t kFmtChunkOffset = 12;
// Where the chunk after a 16-byte fmt body (the PCM wave format record) begins.
constexpr std::uint64_t kDefaultSearchOffset = 36;

bool HasId(const std::uint8_t* p, const char (&id)[5]) {
    return std::memcmp(p, id, 4) == 0;
}

WaveLocateResult Refused(const char* error) {
    return WaveLocateResult{error, {}};
}

} // namespace

WaveLocateResult LocateWaveChunks(const std::uint8_t* data, std::uint64_t size) {
    if (data == nullptr)
        return Refused(kWaveErrorNullPointer);
    if (size < 12 || !HasId(data, "RIFF") || !HasId(data + 8, "WAVE"))
        return Refused(kWaveErrorRiffHeader);
    // The fmt chunk header must be whole to give GetFmt a size.
    if (size < kFmtChunkOffset + kChunkHeaderSize || !HasId(data + kFmtChunkOffset, "fmt "))
        return Refused(kWaveErrorFmtChunk);
    const std::uint32_t fmtSize = ReadLe32(data + kFmtChunkOffset + 4);

    // Positions in 64 bits: a chunk size near 2^32 added to a position must not wrap. A fmt
    // body shorter than 16 bytes still starts the search at 36, inside the chunk after it.
    std::uint64_t position = kDefaultSearchOffset;
    if (fmtSize > 16)
        position = kFmtChunkOffset + kChunkHeaderSize + fmtSize;
    while (position + kChunkHeaderSize <= size) {
        if (HasId(data + position, "data")) {
            const std::uint64_t available = size - position - kChunkHeaderSize;
            const std::uint64_t claimed = ReadLe32(data + position + 4);
            WaveLocateResult found;
            found.chunks.fmtOffset = kFmtChunkOffset;
            found.chunks.fmtSize = fmtSize;
            found.chunks.dataOffset = static_cast<std::size_t>(position);
            found.chunks.dataSize =
                static_cast<std::uint32_t>(claimed < available ? claimed : available);
            return found;
        }
        position += kChunkHeaderSize + ReadLe32(data + position + 4);
    }
    return Refused(kWaveErrorDataChunk);
}

} // namespace fz
