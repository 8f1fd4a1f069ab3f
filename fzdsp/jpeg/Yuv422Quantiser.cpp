#include "fzdsp/jpeg/Yuv422Quantiser.h"

#include "fzdsp/jpeg/JpegAnnexKTables.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>

namespace fz {
namespace {

constexpr int kTableCount = 2;

int TableValue(QuantTable table, int position) {
    const auto& values = table == QuantTable::kLuminance ? annexk::kLuminanceQuantization
                                                         : annexk::kChrominanceQuantization;
    return values[static_cast<std::size_t>(position)];
}

int StepOf(int scale, QuantTable table, int position) {
    const int n = (scale * TableValue(table, position) + 32) >> 6;
    return n == 0 ? 1 : n;
}

std::uint32_t RawMultiplierOf(int step, std::uint32_t reciprocal, std::uint32_t scaleEntry) {
    std::uint32_t raw = scaleEntry * (reciprocal >> 1);
    if (reciprocal & 1)
        raw += scaleEntry >> 1;
    if (step != 1 && scaleEntry != 131072)
        raw += 16384;
    return raw;
}

int ShiftCodeOf(std::uint32_t largestRaw) {
    const int highestBit = std::max(static_cast<int>(std::bit_width(largestRaw)) - 1, 23);
    return 31 - highestBit;
}

// Both forms are m_raw / 2^(16 - c); for c >= 3 the low 14 bits are dropped first, so the
// multiplier is a multiple of 2^(c - 2). The shift code puts the largest m_raw just below bit
// 32 - c, so every multiplier stays below 2^16.
std::int32_t MultiplierOf(std::uint32_t raw, int c) {
    const std::uint32_t m = c <= 2 ? raw >> (16 - c) : (raw >> 14) << (c - 2);
    return static_cast<std::int32_t>(m);
}

} // namespace

int QualityToScale(int quality) {
    const int limited = std::clamp(quality, 0, 100);
    return static_cast<int>(kMaxScale - limited / 100.0 * kMaxScale);
}

int QuantisationStep(int scale, QuantTable table, int position) {
    const int step = (scale * TableValue(table, position) + 32) / 64;
    return step == 0 ? 1 : step;
}

int DqtStep(int scale, QuantTable table, int position) {
    const double v = static_cast<double>(TableValue(table, position)) * scale / 64.0;
    if (v < 1.0)
        return 1;
    if (v > 255.0)
        return 255;
    return static_cast<int>(v + 0.5);
}

std::uint32_t Reciprocal(int step) {
    return static_cast<std::uint32_t>(32768.0 / step + 0.5);
}

std::array<std::uint32_t, 64> ScaleTable() {
    const double pi = std::numbers::pi;
    const double sqrt2 = 2.0 * std::cos(pi / 4.0);
    const double c1 = std::cos(pi / 16.0);
    const double c2 = std::cos(pi / 8.0);
    const double w[8] = {sqrt2, c1, c2, c1, sqrt2, c1, c2, c1};
    std::array<std::uint32_t, 64> table{};
    for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u)
            table[static_cast<std::size_t>(v * 8 + u)] =
                static_cast<std::uint32_t>(std::lround(w[v] * w[u] * 65536.0));
    return table;
}

Yuv422QuantiserTables::Yuv422QuantiserTables(std::pmr::memory_resource* memory)
    : m_raw(static_cast<std::size_t>(kMaxScale + 1) * kTableCount * 64, memory)
    , m_shiftCode(static_cast<std::size_t>(kMaxScale + 1) * kTableCount, memory) {
    std::array<std::uint32_t, 256> reciprocal{};
    for (int n = 1; n < 256; ++n)
        reciprocal[static_cast<std::size_t>(n)] = Reciprocal(n);
    const std::array<std::uint32_t, 64> scaleTable = ScaleTable();

    for (int scale = 0; scale <= kMaxScale; ++scale)
        for (QuantTable table : {QuantTable::kLuminance, QuantTable::kChrominance}) {
            const std::size_t base = Index(scale, table);
            std::uint32_t largest = 0;
            for (int i = 0; i < 64; ++i) {
                const int step = StepOf(scale, table, i);
                const std::uint32_t raw =
                    RawMultiplierOf(step, reciprocal[static_cast<std::size_t>(step)],
                                    scaleTable[static_cast<std::size_t>(i)]);
                m_raw[base * 64 + static_cast<std::size_t>(i)] = raw;
                largest = std::max(largest, raw);
            }
            m_shiftCode[base] = static_cast<std::uint8_t>(ShiftCodeOf(largest));
        }
}

std::size_t Yuv422QuantiserTables::Index(int scale, QuantTable table) const {
    return static_cast<std::size_t>(scale) * kTableCount +
           (table == QuantTable::kLuminance ? 0 : 1);
}

std::uint32_t Yuv422QuantiserTables::RawMultiplier(int scale, QuantTable table,
                                                   int position) const {
    return m_raw[Index(scale, table) * 64 + static_cast<std::size_t>(position)];
}

int Yuv422QuantiserTables::ShiftCode(int scale, QuantTable table) const {
    return m_shiftCode[Index(scale, table)];
}

QuantMultipliers Yuv422QuantiserTables::Multipliers(int scale, QuantTable table) const {
    QuantMultipliers result;
    result.shiftCode = ShiftCode(scale, table);
    for (int i = 0; i < 64; ++i)
        result.multiplier[static_cast<std::size_t>(i)] =
            MultiplierOf(RawMultiplier(scale, table, i), result.shiftCode);
    return result;
}

QuantMultipliers PictureMultipliers(int scale, QuantTable table) {
    static const std::array<std::uint32_t, 64> scaleTable = ScaleTable();
    std::array<std::uint32_t, 64> raw{};
    std::uint32_t largest = 0;
    for (int i = 0; i < 64; ++i) {
        const int step = StepOf(scale, table, i);
        raw[static_cast<std::size_t>(i)] =
            RawMultiplierOf(step, Reciprocal(step), scaleTable[static_cast<std::size_t>(i)]);
        largest = std::max(largest, raw[static_cast<std::size_t>(i)]);
    }
    QuantMultipliers result;
    result.shiftCode = ShiftCodeOf(largest);
    for (std::size_t i = 0; i < 64; ++i)
        result.multiplier[i] = MultiplierOf(raw[i], result.shiftCode);
    return result;
}

} // namespace fz
