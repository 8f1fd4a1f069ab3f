#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace fz::cli {

// An RGB picture, top row first, 3 bytes per pixel, red first.
struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

// Decodes a JPEG image with libjpeg, reduced by libjpeg's own scaling so that the width is not
// below `minWidth` where it can (1/1 .. 1/8). Nothing when libjpeg refuses the image (the
// images come from movies that may be damaged: a fatal error abandons the image, never the
// program).
std::optional<RgbPicture> DecodeJpeg(std::span<const std::uint8_t> image, int minWidth);

// Writes `picture` as a JPEG file at `quality`. False when the file cannot be written.
bool WriteJpeg(const std::string& path, const RgbPicture& picture, int quality);

} // namespace fz::cli
