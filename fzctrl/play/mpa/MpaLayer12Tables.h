#pragma once

#include <array>
#include <cstdint>

namespace fz::mpa {

// Layer II classes of quantization, ISO/IEC 11172-3 Table B.4 (shared by ISO/IEC 13818-3).
// A class has `steps` levels; grouped classes carry three samples in one codeword of
// `codewordBits`, the others one sample of `codewordBits` each. Table B.4's constants C and D
// are 2^b / steps and 1 - (steps - 1) / 2^b (b the bits of one sample), so the requantised
// sample C·(s''' + D) of a level v is (2v + 1 - steps) / steps.
struct Layer2Class {
    std::int32_t steps;
    std::int32_t codewordBits;
    bool grouped;
};

inline constexpr std::array<Layer2Class, 17> kLayer2Classes = {{
    {3, 5, true},
    {5, 7, true},
    {7, 3, false},
    {9, 10, true},
    {15, 4, false},
    {31, 5, false},
    {63, 6, false},
    {127, 7, false},
    {255, 8, false},
    {511, 9, false},
    {1023, 10, false},
    {2047, 11, false},
    {4095, 12, false},
    {8191, 13, false},
    {16383, 14, false},
    {32767, 15, false},
    {65535, 16, false},
}};

constexpr bool Layer2ClassesConsistent() {
    for (const Layer2Class& c : kLayer2Classes) {
        std::int64_t codes = 1;
        for (int i = 0; i < c.codewordBits; ++i)
            codes *= 2;
        const std::int64_t levels =
            c.grouped ? std::int64_t{c.steps} * c.steps * c.steps : std::int64_t{c.steps};
        // Every codeword fits; ungrouped classes leave out only the all-ones code.
        if (levels > codes || (!c.grouped && levels != codes - 1))
            return false;
    }
    return true;
}
static_assert(Layer2ClassesConsistent());

// The rows of the Layer II bit allocation tables: the width nbal of the allocation field and the
// class of each allocation value (-1 for 0: no samples). Tables B.2a-B.2d of ISO/IEC 11172-3 and
// Table B.1 of ISO/IEC 13818-3 are built from these eight distinct rows.
struct Layer2AllocationRow {
    std::int32_t allocationBits;
    std::array<std::int8_t, 16> classOf;
};

inline constexpr std::array<Layer2AllocationRow, 8> kLayer2AllocationRows = {{
    {4, {-1, 0, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
    {4, {-1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 16}},
    {3, {-1, 0, 1, 2, 3, 4, 5, 16}},
    {2, {-1, 0, 1, 16}},
    {4, {-1, 0, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
    {3, {-1, 0, 1, 3, 4, 5, 6, 7}},
    {4, {-1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}},
    {2, {-1, 0, 1, 3}},
}};

struct Layer2AllocationTable {
    std::int32_t sbLimit;              // subbands that carry an allocation field
    std::array<std::int8_t, 30> rowOf; // index into kLayer2AllocationRows per subband
};

enum class Layer2Table { B2a, B2b, B2c, B2d, Lsf };

inline constexpr std::array<Layer2AllocationTable, 5> kLayer2AllocationTables = {{
    // ISO/IEC 11172-3 Table B.2a
    {27, {0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3}},
    // ISO/IEC 11172-3 Table B.2b
    {30,
     {0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3}},
    // ISO/IEC 11172-3 Table B.2c
    {8, {4, 4, 5, 5, 5, 5, 5, 5}},
    // ISO/IEC 11172-3 Table B.2d
    {12, {4, 4, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5}},
    // ISO/IEC 13818-3 Table B.1 (lower sampling frequencies)
    {30,
     {6, 6, 6, 6, 5, 5, 5, 5, 5, 5, 5, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7}},
}};

static_assert(kLayer2AllocationTables[0].sbLimit == 27 &&
              kLayer2AllocationTables[1].sbLimit == 30 && kLayer2AllocationTables[2].sbLimit == 8 &&
              kLayer2AllocationTables[3].sbLimit == 12 && kLayer2AllocationTables[4].sbLimit == 30);

// The allocation table of a Layer II frame (ISO/IEC 11172-3 Annex B, note to Tables B.2; ISO/IEC
// 13818-3 2.4.3.2: the lower sampling frequencies always use their own table). MPEG-1 chooses by
// the bit rate per channel (two channels for every mode but single channel). Bit rates and modes
// that 11172-3 2.4.2.3 does not allow still get the table of this rule.
constexpr Layer2Table SelectLayer2Table(int version, int sampleRateHz, int bitRateKbps,
                                        int channels) {
    if (version != 1)
        return Layer2Table::Lsf;
    const int perChannel = bitRateKbps / channels;
    if ((sampleRateHz == 48000 && perChannel >= 56) || (perChannel >= 56 && perChannel <= 80))
        return Layer2Table::B2a;
    if (sampleRateHz != 48000 && perChannel >= 96)
        return Layer2Table::B2b;
    if (sampleRateHz != 32000 && perChannel <= 48)
        return Layer2Table::B2c;
    return Layer2Table::B2d;
}

static_assert(SelectLayer2Table(1, 44100, 128, 2) == Layer2Table::B2a);
static_assert(SelectLayer2Table(1, 44100, 192, 2) == Layer2Table::B2b);
static_assert(SelectLayer2Table(1, 48000, 64, 2) == Layer2Table::B2c);
static_assert(SelectLayer2Table(1, 32000, 64, 2) == Layer2Table::B2d);

// Layer II scale factor selection information, ISO/IEC 11172-3 2.4.2.6 "scfsi": for scfsi 0..3,
// the number of scale factors transmitted and which of them serves each third of the frame.
struct Layer2ScfsiPattern {
    std::int32_t count;
    std::array<std::int8_t, 3> partOf;
};

inline constexpr std::array<Layer2ScfsiPattern, 4> kLayer2ScfsiPatterns = {{
    {3, {0, 1, 2}},
    {2, {0, 0, 1}},
    {1, {0, 0, 0}},
    {2, {0, 1, 1}},
}};

// Scale factors of Layers I and II, ISO/IEC 11172-3 Table B.1: index i (0..62) stands for
// 2^(1 - i/3). Index 63 is not a scale factor; the decoder mutes a subband that sends it.
inline constexpr int kScaleFactorCount = 63;

} // namespace fz::mpa
