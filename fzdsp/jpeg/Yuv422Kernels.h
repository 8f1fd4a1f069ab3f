#pragma once

#include <cstddef>
#include <cstdint>

namespace fz {

// The inner loops of the YUV422 JPEG encoder behind one table of functions. The portable
// kernels are the reference; the SSE2 and AVX2 kernels compute exactly the same values with
// vector instructions, and a test holds each of them to the portable ones on random pictures.
struct Yuv422Kernels {
    const char* name;

    // ConvertToYuv422 (Yuv422ColourConversion.h), with the same contract.
    void (*convertToYuv422)(const std::uint8_t* pixels, int width, int height, std::uint8_t* luma,
                            std::uint8_t* cb, std::uint8_t* cr);

    // One block of the scan: the 8 x 8 samples at `samples` (rows `stride` bytes apart) less
    // 128, transformed by ForwardDct8x8 (Yuv422ForwardDct.h) and quantised by Quantise
    // (Yuv422Quantiser.h) with the 64 multipliers (natural order) and the shift code. Writes the
    // 64 coefficients in natural order; they lie within +-2048. Returns the mask of the
    // non-zero ones: bit 8 v + u for the coefficient at (v, u).
    std::uint64_t (*transformBlock)(const std::uint8_t* samples, std::size_t stride,
                                    const std::int32_t* multipliers, int shiftCode,
                                    std::int16_t* coefficients);
};

const Yuv422Kernels& PortableYuv422Kernels();

// The vector kernels when this build has them and this processor runs them, else nullptr.
const Yuv422Kernels* Sse2Yuv422Kernels();
const Yuv422Kernels* Avx2Yuv422Kernels();

// The fastest kernels this processor runs, chosen once on the first call (thread-safe). The
// environment variable FRAMZEL_SIMD=0 forces the portable kernels, FRAMZEL_SIMD=sse2 keeps to
// SSE2.
const Yuv422Kernels& SelectedYuv422Kernels();

namespace detail {
// Defined by the kernel files, nullptr when the build has no such kernels; they do not ask the
// processor. Use the functions above.
const Yuv422Kernels* BuiltSse2Yuv422Kernels();
const Yuv422Kernels* BuiltAvx2Yuv422Kernels();
} // namespace detail

} // namespace fz
