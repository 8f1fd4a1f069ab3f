#pragma once

#include <cstdint>
#include <string>

namespace fz {

// The library JPEG path of the video filter: libjpeg with its default compression settings
// (JFIF, 4:2:0), the quality applied with baseline-compatible tables forced.
//
// `pixels` is the caller's packed 24-bit BGR picture, rows bottom-up (width x 3 bytes per row,
// no padding); `path` is a host path. Returns true when the file was written. Returns false
// when a size is below 1 or pixels is null, when the file cannot be opened, and when libjpeg
// ends with a fatal error: its message is then shown through the platform's message box with
// the caption "JPEG Fatal Error" and an error icon, the compression is abandoned, the
// library's object destroyed and the file closed (what reached it stays). Called on the video
// filter's streaming thread, one call at a time.
bool WriteLibraryJpeg(const std::string& path, int width, int height, const std::uint8_t* pixels,
                      int quality);

} // namespace fz
