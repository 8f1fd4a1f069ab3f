#pragma once

#include <array>
#include <cstdint>
#include <memory_resource>
#include <vector>

namespace fz {

// Quantisation of the YUV422 JPEG encoder: a scale factor Q (0..127, smaller is finer) scales
// the ITU-T T.81 Annex K tables, and the coefficients of the fixed-point DCT
// (Yuv422ForwardDct.h) are divided by the steps through multiplications by fixed-point
// reciprocals.

enum class QuantTable { kLuminance, kChrominance }; // T.81 Table K.1, Table K.2

inline constexpr int kMaxScale = 127;

// Q = 127 - quality / 100 x 127 in floating point, truncated; quality is limited to 0..100
// first (80 gives 25, 100 gives 0, 10 gives 114).
int QualityToScale(int quality);

// The quantisation step at a natural-order position: (Q x t + 32) / 64, at least 1, with t the
// Annex K table value. These are the values of the DQT segment.
int QuantisationStep(int scale, QuantTable table, int position);

// The step as the DQT segment computes it: v = t x Q / 64 in floating point, 1 below 1, 255
// above 255, else v + 0.5 truncated. Equal to QuantisationStep for every Q in 0..127.
int DqtStep(int scale, QuantTable table, int position);

// R[n] = trunc(32768 / n + 0.5), the reciprocal of a step in 1.15 fixed point.
std::uint32_t Reciprocal(int step);

// S[v][u] = w_v x w_u x 65536 rounded, w = (sqrt 2, c1, c2, c1, sqrt 2, c1, c2, c1) with
// c_k = cos(k pi / 16): the factors by which the fixed-point DCT's outputs fall short of T.81,
// times the normalisation of the coefficient. Natural order.
std::array<std::uint32_t, 64> ScaleTable();

// The multipliers of one table and Q: m[i] and the table's shift code c, such that
// ((X * m[i]) >> 5 >> (13 + c) + 1) >> 1 is X / (16 x step) rounded, halves upwards.
struct QuantMultipliers {
    std::array<std::int32_t, 64> multiplier; // natural order
    int shiftCode = 0;
};

// The quantiser's working tables for one encoding: reciprocals, the scale table and, for every
// Q from 0 to 127 and both tables, the raw multipliers and their shift code. The storage comes
// from the given memory resource (std::bad_alloc when it has none left).
class Yuv422QuantiserTables {
public:
    explicit Yuv422QuantiserTables(std::pmr::memory_resource* memory);

    // m_raw = b x (R[n] >> 1), plus b >> 1 when R[n] is odd, plus 16384 when n is not 1 and b
    // is not 131072 (unsigned 32-bit), with n the step and b the scale table entry.
    std::uint32_t RawMultiplier(int scale, QuantTable table, int position) const;

    // 31 minus the index of the highest set bit of the table's largest raw multiplier, the bit
    // searched from 31 down to 23.
    int ShiftCode(int scale, QuantTable table) const;

    // m = m_raw >> (16 - c) for c = 0..2; (m_raw >> 14) x 2^(c - 2) for larger c.
    QuantMultipliers Multipliers(int scale, QuantTable table) const;

private:
    std::size_t Index(int scale, QuantTable table) const;

    std::pmr::vector<std::uint32_t> m_raw;      // [Q][table][position]
    std::pmr::vector<std::uint8_t> m_shiftCode; // [Q][table]
};

// The multipliers of one table and Q, computed for that Q alone: equal to
// Yuv422QuantiserTables::Multipliers(scale, table) without building the tables of every Q.
// The encoder takes these once per picture.
QuantMultipliers PictureMultipliers(int scale, QuantTable table);

// q = (X x m) >> 5, then ((q >> (13 + c)) + 1) >> 1. The product fits in 32 bits: |X| stays
// below 2^15 for 8-bit samples and every multiplier below 2^16.
inline std::int32_t Quantise(std::int32_t coefficient, std::int32_t multiplier, int shiftCode) {
    const std::int32_t q = (coefficient * multiplier) >> 5;
    return ((q >> (13 + shiftCode)) + 1) >> 1;
}

} // namespace fz
