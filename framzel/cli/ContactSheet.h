#pragma once

#include "framzel/cli/JpegPictures.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace fz::cli {

// One frame for the contact sheet: its JPEG image and its time in the movie.
struct SheetFrame {
    std::span<const std::uint8_t> jpeg;
    std::uint64_t timeMs = 0;
};

// The time label of a thumbnail: "m:ss.t" (minutes without limit, tenths truncated).
std::string SheetTimeLabel(std::uint64_t timeMs);

// Draws `text` (digits, ':' and '.') in white at (x, y), the top left of the first glyph,
// clipped to the picture.
void DrawLabel(RgbPicture& picture, int x, int y, const std::string& text, int scale);

// A grid of thumbnails (at most `maxThumbnails` frames, evenly chosen, the first and the last
// among them) with their time labels on a dark background, `columns` wide. A frame libjpeg
// cannot decode keeps its place as a grey box. Nothing to draw gives a picture of size 0.
RgbPicture MakeContactSheet(const std::vector<SheetFrame>& frames, int columns, int thumbnailWidth,
                            int maxThumbnails);

} // namespace fz::cli
