#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

namespace fz {

// The largest buffer that one picture of the video path may take. Sizes come from picture
// headers that a hostile file controls; every buffer of the picture code is sized through
// PictureBytes, so that any size is either served or refused before anything is allocated.
// 512 MiB holds a 32-bit picture of 11 585 x 11 585 pixels, well beyond any source a movie
// player's converter meets.
inline constexpr std::size_t kMaxPictureBytes = std::size_t{1} << 29;

// The largest target width or height: the video filter keeps target sizes in 16 bits, and this
// is the largest multiple of 16 (the YUV422 encoder's unit) that 16 bits hold.
inline constexpr int kMaxTargetDimension = 65520;

// Bytes of a packed picture of width x rows pixels of bytesPerPixel bytes each, or nothing when
// a size is below 1 or the picture would exceed kMaxPictureBytes. Never overflows: the sizes
// are multiplied in 64 bits after each is checked on its own.
constexpr std::optional<std::size_t> PictureBytes(std::int64_t width, std::int64_t rows,
                                                  int bytesPerPixel) {
    constexpr auto kLimit = static_cast<std::int64_t>(kMaxPictureBytes);
    if (width < 1 || rows < 1 || bytesPerPixel < 1 || width > kLimit || rows > kLimit)
        return std::nullopt;
    const std::int64_t rowBytes = width * bytesPerPixel;
    if (rowBytes > kLimit || rows > kLimit / rowBytes)
        return std::nullopt;
    return static_cast<std::size_t>(rowBytes * rows);
}

static_assert(PictureBytes(640, 480, 4) == std::size_t{640 * 480 * 4});
static_assert(!PictureBytes(0x7FFFFFFF, 0x7FFFFFFF, 4));
static_assert(!PictureBytes(65535, 65535, 4));

} // namespace fz
