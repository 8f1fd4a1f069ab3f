#pragma once

#include "fzdsp/jpeg/Yuv422Kernels.h"

#include <cstdint>
#include <memory_resource>
#include <vector>

namespace fz {

// The entropy-coded segment of the YUV422 JPEG encoder for one picture, through the given
// kernels: colour conversion into the three planes, then MCUs of 16 x 8 pixels left to right,
// top to bottom (T.81 A.2.3), each with the blocks Y(x), Y(x + 8), Cb(x / 2), Cr(x / 2),
// transformed, quantised with the multipliers of `scale` (Y with the luminance table, Cb and Cr
// with the chrominance table) and Huffman coded with the Annex K tables; then the end padding
// of Yuv422BitWriter::Finish. The bytes are appended to `data`.
//
// `pixels`: packed 24-bit BGR, rows bottom-up; the width a multiple of 16 and the height of 8,
// at most 640 x 480; scale 0..127. The planes come from `workingMemory` and are released
// before the return; std::bad_alloc when it has none left. Every set of kernels gives the same
// bytes.
void EncodeYuv422Scan(const Yuv422Kernels& kernels, const std::uint8_t* pixels, int width,
                      int height, int scale, std::pmr::memory_resource* workingMemory,
                      std::pmr::vector<std::uint8_t>& data);

} // namespace fz
