#pragma once

#include <cstddef>
#include <cstdint>

namespace fz {

// Copies between pictures of the video filter. A picture is width x rows pixels, rows stored
// bottom-up (the first row in memory is the bottom of the picture); a 24-bit pixel is blue,
// green, red, a 32-bit pixel the same followed by one byte without meaning. Offsets count from
// the left and from the bottom. The caller owns every buffer and guarantees that each one holds
// the rows it names; nothing here allocates.

// Keeps the first three bytes of each 4-byte pixel. Row sizes are in bytes.
void PackRgb32To24(std::uint8_t* destination, std::size_t destinationRowBytes,
                   const std::uint8_t* source, std::size_t sourceRowBytes, int width, int rows);

// Widens each 3-byte pixel to 4 bytes; the fourth byte is written as 0.
void UnpackRgb24To32(std::uint8_t* destination, std::size_t destinationRowBytes,
                     const std::uint8_t* source, std::size_t sourceRowBytes, int width, int rows);

// Copies the width x rows rectangle whose lower left corner is (xOffset, yOffset) of a packed
// 24-bit source sourceWidth pixels wide into a packed 24-bit destination. The rectangle must lie
// inside the source.
void CropPicture(std::uint8_t* destination, int width, int rows, const std::uint8_t* source,
                 int sourceWidth, int xOffset, int yOffset);

// Copies a packed 24-bit picture into a packed 24-bit canvas at column
// (canvasWidth - pictureWidth) / 2 and row (canvasRows - pictureRows) / 2; canvas pixels outside
// the picture keep what they held. The picture must not be larger than the canvas.
void CenterPicture(std::uint8_t* canvas, int canvasWidth, int canvasRows,
                   const std::uint8_t* picture, int pictureWidth, int pictureRows);

} // namespace fz
