#pragma once

#include <array>
#include <cstdint>

namespace fz {

// The fixed-point forward DCT of the YUV422 JPEG encoder (T.81 A.3.3 up to a factor of 16).
// Only shifts, additions and two multiplications by powers of two; every value is a signed
// 32-bit integer and >> is an arithmetic shift (towards minus infinity).
//
// JamShift(a, n) divides by 2^n and forces the lowest bit of the result to 1 whenever the last
// kept bit or the first dropped bit was 1 ("jamming"), so that the rounding errors of the
// cascaded shifts do not all lean the same way:
//   JamShift(a, 0) = a;  JamShift(a, n) = 2 * (a >> (n + 1)) + s, n >= 1,
// with s = 1 when either of the two lowest bits of a >> (n - 1) is set.
std::int32_t JamShift(std::int32_t a, int n);

// The constant multipliers of the transform, built from shifts and additions; the factor each
// one approximates is in brackets. With c_k = cos(k pi / 16): A = c6 / (2 c2) = tan(pi/8) / 2,
// B = c3 / (2 c1), C = c5 / (2 c1), D = c7 / (2 c1). The even outputs thus come out scaled by
// 1 / (2 c2) and the odd ones by 1 / (2 c1) against T.81; the quantiser's scale table
// (Yuv422Quantiser.h) takes those factors back.
std::int32_t MultiplyA(std::int32_t a); // [0.2071]
std::int32_t MultiplyB(std::int32_t a); // [0.4239]
std::int32_t MultiplyC(std::int32_t a); // [0.2832]
std::int32_t MultiplyD(std::int32_t a); // [0.0995]

// Transforms one block of 64 level-shifted samples (sample - 128, rows top first, natural order
// 8 * row + column) in place into 64 coefficients in natural order (8 * v + u), each about 16
// times the T.81 forward DCT coefficient: a block of 127s gives 16256 at (0, 0) and 0
// elsewhere. The portable transform and the reference of the vector kernels (Yuv422Kernels.h),
// which share its arithmetic through Yuv422ForwardDctKernel.h.
void ForwardDct8x8(std::array<std::int32_t, 64>& block);

} // namespace fz
