#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace fz {

// A JPEG picture decoded to RGB: rows top-down, 3 bytes per pixel, no padding.
struct DecodedJpeg {
    std::unique_ptr<std::uint8_t[]> rgb; // null on failure
    int width = 0;
    int height = 0;
};

// The largest picture a decode accepts (bytes of RGB output); a larger one fails as if memory
// had run out: quietly.
inline constexpr std::uint64_t kMaxDecodedJpegBytes = 256ull << 20;

// Decodes the JPEG file at `hostPath` with libjpeg at full size and default settings. Colour
// pictures come out as RGB; a grayscale picture has each value written three times.
//
// Messages go to the platform's message boxes: a fatal library error shows its text in a box
// captioned "JPEG Fatal Error" (no owner, stop icon) and the decode fails; the first warning of
// a decode (damage the library steps over) shows in a box captioned "JPEG Error" owned by the
// active window, and the decode goes on. A file that cannot be opened fails without a box. Runs
// on any thread; the box waits on that thread until the host answers.
DecodedJpeg DecodeJpegFile(const std::string& hostPath);

// Reads only the header of the JPEG file at `hostPath`: width and height, true on success. The
// same message boxes as DecodeJpegFile.
bool ReadJpegSize(const std::string& hostPath, int& width, int& height);

} // namespace fz
