#pragma once

#include "fzctrl/play/mpa/MpaHuffman.h"
#include "fzctrl/play/mpa/MpaLayer3Tables.h"

#include <array>
#include <cstdint>

namespace fz::mpa {

// Everything Layer III derives from the standards' tables and formulas. One instance lives for
// the process; Layer3BuildTables fills it and decoding only reads it.
struct Layer3BuiltTables {
    // Band boundaries in lines (Tables B.8 / 13818-3 B.2 summed): long 0..576, short 0..192.
    std::array<std::array<std::int16_t, kLongBands + 1>, kSampleRateRows> longBounds;
    std::array<std::array<std::int16_t, kShortBands + 1>, kSampleRateRows> shortBounds;

    // |is|^(4/3) for |is| = 0..8206 (15 plus the largest 13-bit escape), 11172-3 2.4.3.4.7.
    static constexpr int kPow43Size = 8207;
    std::array<float, kPow43Size> pow43;
    // sign(v) |v|^(4/3) for v = -kSmallPow43 .. kSmallPow43 (at index v + kSmallPow43).
    static constexpr int kSmallPow43 = 15;
    std::array<float, 2 * kSmallPow43 + 1> pow43Signed;

    // 2^(e / 4) for e = kGainMin .. kGainMin + kGainSize - 1: every gain the side information
    // and scale factors can form.
    static constexpr int kGainMin = -512;
    static constexpr int kGainSize = 576;
    std::array<float, kGainSize> gain;

    // Alias reduction butterflies (Table B.9): cs = 1 / sqrt(1 + ci²), ca = ci / sqrt(1 + ci²).
    std::array<float, 8> aliasCs;
    std::array<float, 8> aliasCa;

    // The fast 36-point IMDCT (MpaImdct.h): imdctPre[k] = 1 / (2 cos((2k + 1) pi / 72)),
    // imdctLee[n] = 1 / (2 cos((2n + 1) pi / 36)), imdctCos9[k][n] = cos((2n + 1) k pi / 18).
    std::array<float, 18> imdctPre;
    std::array<float, 9> imdctLee;
    std::array<std::array<float, 4>, 9> imdctCos9;
    // The 12-point IMDCT likewise: 6 of 12 outputs, i = j for j < 3, i = j + 3 else.
    std::array<std::array<float, 6>, 6> imdctShort;
    // 11172-3 2.4.3.4.10.3 windows for block types 0, 1 and 3 (36 points) and 2 (12 points,
    // in window[2][0..11]).
    std::array<std::array<float, 36>, 4> window;

    // MPEG-1 intensity stereo: left and right factors tan(p pi / 12) / (1 + tan), 1 / (1 + tan)
    // for is_pos p = 0..6.
    std::array<std::array<float, 2>, 7> intensityMpeg1;
    // MPEG-2/2.5 intensity stereo: [intensity_scale][is_pos 0..31] left and right factors.
    std::array<std::array<std::array<float, 2>, 32>, 2> intensityLsf;

    HuffmanDecodeTables huffman;
};

// The process's tables (filled by Layer3BuildTables).
const Layer3BuiltTables& Layer3Tables();

} // namespace fz::mpa
