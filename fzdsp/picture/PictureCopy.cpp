#include "fzdsp/picture/PictureCopy.h"

#include <cstring>

namespace fz {
namespace {

constexpr std::size_t kBytesPerPixel24 = 3;
constexpr std::size_t kBytesPerPixel32 = 4;

std::size_t PackedRowBytes(int width) {
    return static_cast<std::size_t>(width) * kBytesPerPixel24;
}

} // namespace

void PackRgb32To24(std::uint8_t* destination, std::size_t destinationRowBytes,
                   const std::uint8_t* source, std::size_t sourceRowBytes, int width, int rows) {
    for (int row = 0; row < rows; ++row) {
        std::uint8_t* out = destination + static_cast<std::size_t>(row) * destinationRowBytes;
        const std::uint8_t* in = source + static_cast<std::size_t>(row) * sourceRowBytes;
        for (int x = 0; x < width; ++x) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
            out += kBytesPerPixel24;
            in += kBytesPerPixel32;
        }
    }
}

void UnpackRgb24To32(std::uint8_t* destination, std::size_t destinationRowBytes,
                     const std::uint8_t* source, std::size_t sourceRowBytes, int width, int rows) {
    for (int row = 0; row < rows; ++row) {
        std::uint8_t* out = destination + static_cast<std::size_t>(row) * destinationRowBytes;
        const std::uint8_t* in = source + static_cast<std::size_t>(row) * sourceRowBytes;
        for (int x = 0; x < width; ++x) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
            out[3] = 0;
            out += kBytesPerPixel32;
            in += kBytesPerPixel24;
        }
    }
}

void CropPicture(std::uint8_t* destination, int width, int rows, const std::uint8_t* source,
                 int sourceWidth, int xOffset, int yOffset) {
    const std::size_t rowBytes = PackedRowBytes(width);
    for (int row = 0; row < rows; ++row) {
        const std::size_t sourceRow = static_cast<std::size_t>(yOffset + row);
        std::memcpy(destination + static_cast<std::size_t>(row) * rowBytes,
                    source + sourceRow * PackedRowBytes(sourceWidth) + PackedRowBytes(xOffset),
                    rowBytes);
    }
}

void CenterPicture(std::uint8_t* canvas, int canvasWidth, int canvasRows,
                   const std::uint8_t* picture, int pictureWidth, int pictureRows) {
    const int x = (canvasWidth - pictureWidth) / 2;
    const int y = (canvasRows - pictureRows) / 2;
    const std::size_t rowBytes = PackedRowBytes(pictureWidth);
    for (int row = 0; row < pictureRows; ++row) {
        const std::size_t canvasRow = static_cast<std::size_t>(y + row);
        std::memcpy(canvas + canvasRow * PackedRowBytes(canvasWidth) + PackedRowBytes(x),
                    picture + static_cast<std::size_t>(row) * rowBytes, rowBytes);
    }
}

} // namespace fz
