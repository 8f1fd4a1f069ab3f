#pragma once

#include <cstdint>
#include <memory_resource>
#include <string>

namespace fz {

// The YUV422 JPEG encoder: compresses one picture of the video filter into a baseline JPEG
// file (T.81 Annex F, sequential Huffman coding) of a fixed layout: 4:2:2 sampling, the
// 640-byte header of Yuv422JpegHeader.h, the entropy-coded data written in groups of four bytes,
// so that every file's length is a multiple of 4.
//
// `pixels` is the caller's packed 24-bit BGR picture, rows bottom-up; `path` is a host path
// (the video filter maps its drive path first); quality 0..100 (limited to that range).
// Called by one thread at a time: the video filter serialises all its instances' compression.
// The inner loops run on the kernels of SelectedYuv422Kernels (Yuv422Kernels.h); every set of
// kernels writes the same file.
//
// Returns false, writing nothing, when the picture is wider than 640 or higher than 480, when
// a size is below 1 or pixels is null, when the working data cannot be allocated (after
// writing "Memory is not enough !!!\n" to the diagnostics), and when writing the file fails
// (what reached the file stays; the caller must not use it). Returns true when it ran, also when it
// stopped with a message on the diagnostics: a height that is not a multiple of 8 or a width that
// is not a multiple of 16 (no file), or an output file that cannot be opened. In those cases a file
// an earlier frame left at the path keeps its contents. After a file is written, two lines report
// the byte counts and the compression ratio.
bool EncodeYuv422Jpeg(const std::string& path, int width, int height, const std::uint8_t* pixels,
                      int quality);

// The same with the working data taken from the given memory resource.
bool EncodeYuv422Jpeg(const std::string& path, int width, int height, const std::uint8_t* pixels,
                      int quality, std::pmr::memory_resource* workingMemory);

} // namespace fz
