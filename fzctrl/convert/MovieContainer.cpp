#include "fzctrl/convert/MovieContainer.h"

#include <cstring>

namespace fz {

std::array<std::uint8_t, kMovieFirstRecordOffset> EncodeMovieHead(const MovieHead& head) {
    std::array<std::uint8_t, kMovieFirstRecordOffset> out{};
    std::uint8_t* p = out.data();
    const auto firstRecord = static_cast<std::uint32_t>(kMovieFirstRecordOffset);
    const auto audioDataHeader = firstRecord + head.videoSize;

    std::memcpy(p, "MP4\0", 4);
    WriteLe32(p + 4, head.fileSize - 8);
    WriteLe32(p + 8, kMovieAudioKindAdpcm);
    WriteLe32(p + 12, firstRecord);
    WriteLe32(p + 16, head.videoSize);
    WriteLe32(p + 20, audioDataHeader + static_cast<std::uint32_t>(kMovieDataChunkHeaderSize));
    WriteLe32(p + 24, head.audioSize);
    WriteLe32(p + 28, head.fileSize - 32);

    std::memcpy(p + 32, "LIST", 4);
    WriteLe32(p + 36, 112);
    std::memcpy(p + 40, "VIDE", 4);
    WriteLe32(p + 44, 60);
    WriteLe32(p + 48, head.frameDurationMs);
    WriteLe32(p + 52, head.largestFrame);
    WriteLe32(p + 64, head.frameCount);
    WriteLe32(p + 68, head.videoStartOffsetMs);
    WriteLe32(p + 80, head.width);
    WriteLe32(p + 84, head.height);
    WriteLe32(p + 88, static_cast<std::uint32_t>(kMovieVideoDataChunkOffset));
    std::memcpy(p + 108, "AUDI", 4);
    WriteLe32(p + 112, 36);
    WriteLe16(p + 116, 2);
    WriteLe16(p + 118, 1);
    WriteLe32(p + 120, kMovieAudioRate);
    WriteLe32(p + 124, head.audioBytesPerSecond);
    WriteLe16(p + 128, kMovieAudioBlockSize);
    WriteLe16(p + 130, kMovieAudioBitsPerSample);
    WriteLe32(p + 132, audioDataHeader);

    std::memcpy(p + 152, "DATA", 4);
    WriteLe32(p + 156, head.videoSize);
    return out;
}

std::array<std::uint8_t, kMovieDataChunkHeaderSize> EncodeMovieAudioDataHeader() {
    std::array<std::uint8_t, kMovieDataChunkHeaderSize> out{};
    std::memcpy(out.data(), "DATA", 4);
    return out;
}

std::array<std::uint8_t, kMovieWaveHeaderSize>
EncodeMovieWaveHeader(std::uint16_t channels, std::uint32_t frames, std::uint32_t dataSize) {
    std::array<std::uint8_t, kMovieWaveHeaderSize> out{};
    std::uint8_t* p = out.data();
    std::memcpy(p, "RIFF", 4);
    WriteLe32(p + 4, dataSize + 52);
    std::memcpy(p + 8, "WAVE", 4);
    std::memcpy(p + 12, "fmt ", 4);
    WriteLe32(p + 16, 20);
    WriteLe16(p + 20, kWaveFormatImaAdpcm);
    WriteLe16(p + 22, channels);
    WriteLe32(p + 24, kMovieAudioRate);
    WriteLe32(p + 28, AdpcmBytesPerSecond(kMovieAudioRate));
    WriteLe16(p + 32, kMovieAudioBlockSize);
    WriteLe16(p + 34, kMovieAudioBitsPerSample);
    WriteLe16(p + 36, 2);
    WriteLe16(p + 38, kMovieAudioSamplesPerBlock);
    std::memcpy(p + 40, "fact", 4);
    WriteLe32(p + 44, 4);
    WriteLe32(p + 48, frames);
    std::memcpy(p + 52, "data", 4);
    WriteLe32(p + 56, dataSize);
    return out;
}

} // namespace fz
