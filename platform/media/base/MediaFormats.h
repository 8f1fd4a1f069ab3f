#pragma once

#include "platform/media/base/MediaResults.h"

#include <cstddef>
#include <cstdint>

namespace fz::media {

// The platform's format records, byte-exact (little-endian, the platform's packing): they
// travel as format blocks of media types and are copied byte by byte.

struct RECT {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};
static_assert(sizeof(RECT) == 16);

// 40 bytes. A positive height is a bottom-up picture (last row first).
struct BITMAPINFOHEADER {
    std::uint32_t biSize = 0; // 40
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;
    std::uint16_t biPlanes = 0;
    std::uint16_t biBitCount = 0;
    std::uint32_t biCompression = 0; // BI_RGB: uncompressed
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);
inline constexpr std::uint32_t BI_RGB = 0;

// The usual image size of an uncompressed picture: rows rounded up to 4 bytes, times the
// height (its absolute value); 0 for sizes that do not fit 32 bits.
std::uint32_t BitmapImageSize(std::int32_t width, std::int32_t height, int bitCount);

// FORMAT_VideoInfo's block: 88 bytes.
struct VIDEOINFOHEADER {
    RECT rcSource;
    RECT rcTarget;
    std::uint32_t dwBitRate = 0;
    std::uint32_t dwBitErrorRate = 0;
    REFERENCE_TIME AvgTimePerFrame = 0; // 100-ns units
    BITMAPINFOHEADER bmiHeader;
};
static_assert(sizeof(VIDEOINFOHEADER) == 88);
static_assert(offsetof(VIDEOINFOHEADER, AvgTimePerFrame) == 40);
static_assert(offsetof(VIDEOINFOHEADER, bmiHeader) == 48);

// FORMAT_WaveFormatEx's block: 18 bytes (the platform packs it to 2-byte alignment).
#pragma pack(push, 2)
struct WAVEFORMATEX {
    std::uint16_t wFormatTag = 0; // WAVE_FORMAT_PCM
    std::uint16_t nChannels = 0;
    std::uint32_t nSamplesPerSec = 0;
    std::uint32_t nAvgBytesPerSec = 0;
    std::uint16_t nBlockAlign = 0;
    std::uint16_t wBitsPerSample = 0;
    std::uint16_t cbSize = 0; // extra bytes after the record
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(offsetof(WAVEFORMATEX, nSamplesPerSec) == 4);
static_assert(offsetof(WAVEFORMATEX, wBitsPerSample) == 14);
inline constexpr std::uint16_t WAVE_FORMAT_PCM = 1;

} // namespace fz::media
