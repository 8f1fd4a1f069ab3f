#pragma once

#include <array>

#include "platform/bytes/LittleEndian.h"
#include <cstddef>
#include <cstdint>
#include <span>

namespace fz {

// The movie file the converter writes: a 32-byte file header, a 120-byte stream description
// (a "LIST" block holding a "VIDE" and an "AUDI" chunk), the video "DATA" chunk header, the
// frame records padded to a multiple of 4 bytes (V), the audio "DATA" chunk header and a
// complete IMA ADPCM WAVE file (A). All numbers little-endian; the file is 176 + V + A bytes.
//
//   0   "MP4\0"   4 file size - 8   8 audio kind 255   12 164 (first frame record)
//   16  V         20 176 + V (audio section)            24 A    28 file size - 32
//   32  "LIST" 112   40 "VIDE" 60
//   48  frame duration ms   52 largest image + 2   56 0   60 0   64 frame records
//   68  video start offset ms   72 0   76 0   80 width   84 height   88 152   92..107 zero
//   108 "AUDI" 36   116 u16 2   118 u16 1   120 8000   124 bytes per second
//   128 u16 256   130 u16 4   132 164 + V   136..151 zero
//   152 "DATA" V 0   164 frame records   164 + V "DATA" 0 0   176 + V the WAVE file
//
// The embedded WAVE file (60 + N bytes): "RIFF" N + 52 "WAVE", "fmt " 20 with format tag 0x11,
// channels, 8000 Hz, bytes per second, block size 256, 4 bits, 2 extra bytes, 505 samples per
// block; "fact" 4 with the sample count F; "data" N; then the ADPCM blocks.
inline constexpr std::size_t kMovieHeaderSize = 32;
inline constexpr std::size_t kMovieDescriptionSize = 120;
inline constexpr std::size_t kMovieDataChunkHeaderSize = 12;
inline constexpr std::size_t kMovieFirstRecordOffset =
    kMovieHeaderSize + kMovieDescriptionSize + kMovieDataChunkHeaderSize; // 164
inline constexpr std::size_t kMovieVideoDataChunkOffset = 152;
inline constexpr std::size_t kMovieFixedSize = kMovieFirstRecordOffset + kMovieDataChunkHeaderSize;
inline constexpr std::uint32_t kMovieAudioKindAdpcm = 255;
inline constexpr std::size_t kMovieWaveHeaderSize = 60;
inline constexpr std::uint32_t kMovieAudioRate = 8000; // Hz
inline constexpr std::uint16_t kMovieAudioBlockSize = 256;
inline constexpr std::uint16_t kMovieAudioBitsPerSample = 4;
inline constexpr std::uint16_t kMovieAudioSamplesPerBlock = 505;
inline constexpr std::uint16_t kWaveFormatImaAdpcm = 0x11;
static_assert(kMovieFirstRecordOffset == 164 && kMovieFixedSize == 176);

// Bytes per second of IMA ADPCM at `rate` Hz in 256-byte blocks of 505 samples: whole blocks,
// then the part block that the rest of a second fills (its 4-byte header and half a byte per
// further sample).
constexpr std::uint32_t AdpcmBytesPerSecond(std::uint32_t rate) {
    const std::uint32_t q = rate / kMovieAudioSamplesPerBlock;
    const std::uint32_t r = rate % kMovieAudioSamplesPerBlock;
    if (r == 0)
        return q * kMovieAudioBlockSize;
    if (r == 1)
        return q * kMovieAudioBlockSize + 4;
    return q * kMovieAudioBlockSize + (r + 1) / 2 + 4;
}
static_assert(AdpcmBytesPerSecond(8000) == 4057);

// The size N of the encoded data for F sample frames as the movie records it: whole blocks,
// half a byte per sample of the last part block and 4 header bytes, which are counted even when
// F fills its blocks exactly (they stay zero then).
constexpr std::uint64_t MovieAdpcmDataSize(std::uint64_t frames, std::uint32_t channels) {
    return ((frames / kMovieAudioSamplesPerBlock) * kMovieAudioBlockSize +
            (frames % kMovieAudioSamplesPerBlock) / 2 + 4) *
           channels;
}
static_assert(MovieAdpcmDataSize(0, 1) == 4 && MovieAdpcmDataSize(505 * 3, 1) == 3 * 256 + 4);

// The values of the file header and the stream description that the writer chooses; the
// constant fields and the offsets are filled by EncodeMovieHead.
struct MovieHead {
    std::uint32_t fileSize = 0;        // the whole file
    std::uint32_t videoSize = 0;       // V
    std::uint32_t audioSize = 0;       // A
    std::uint32_t frameDurationMs = 0; // offset 48
    std::uint32_t largestFrame = 0;    // offset 52: largest image + 2
    std::uint32_t frameCount = 0;      // offset 64: records in the video section
    std::uint32_t videoStartOffsetMs = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t audioBytesPerSecond = AdpcmBytesPerSecond(kMovieAudioRate);
};

// The first 164 bytes of a movie: file header, stream description, video "DATA" header.
std::array<std::uint8_t, kMovieFirstRecordOffset> EncodeMovieHead(const MovieHead& head);

// The 12-byte audio "DATA" chunk header: "DATA", 0, 0.
std::array<std::uint8_t, kMovieDataChunkHeaderSize> EncodeMovieAudioDataHeader();

// The 60-byte header of the embedded WAVE file for `frames` sample frames in `dataSize` bytes.
std::array<std::uint8_t, kMovieWaveHeaderSize>
EncodeMovieWaveHeader(std::uint16_t channels, std::uint32_t frames, std::uint32_t dataSize);

} // namespace fz
