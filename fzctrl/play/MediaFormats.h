#pragma once

#include <cstdint>

namespace fz {

// The platform's bitmap information header (40 bytes) as the format query, the preview drawer
// and the decoded frames describe pictures with it.
struct BitmapInfoHeader {
    std::uint32_t size = 40;
    std::int32_t width = 0;
    std::int32_t height = 0; // positive: rows stored bottom-up
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = 0; // 0: uncompressed RGB
    std::uint32_t sizeImage = 0;
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
    std::uint32_t clrUsed = 0;
    std::uint32_t clrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

inline constexpr std::uint16_t kWaveFormatPcm = 1;

// The platform's wave format record (18 bytes, packed as the platform stores it).
#pragma pack(push, 2)
struct WaveFormatRecord {
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSec = 0;
    std::uint32_t avgBytesPerSec = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t extraSize = 0;
};
#pragma pack(pop)
static_assert(sizeof(WaveFormatRecord) == 18);

// The picture format of a movie: width × height, 24 bits, uncompressed, image size
// width × height × 3 (computed in 32 bits, as the record holds it), every other field 0.
BitmapInfoHeader MakeMoviePictureFormat(std::int32_t width, std::int32_t height);

// The sound format of a movie: 16-bit PCM with the given channels and rate, block align
// channels × 2, bytes per second channels × rate × 2, extra size 0.
WaveFormatRecord MakeMovieSoundFormat(std::uint16_t channels, std::uint32_t sampleRate);

} // namespace fz
