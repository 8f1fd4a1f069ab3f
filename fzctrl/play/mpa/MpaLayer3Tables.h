#pragma once

#include <array>
#include <cstdint>

// The numeric tables of Layer III other than the Huffman codes (MpaHuffmanTables.h), in the
// compact form the standards print. Layer3BuildTables derives the rest at start-up.

namespace fz::mpa {

inline constexpr int kGranuleLines = 576;
inline constexpr int kShortWindowLines = 192;
inline constexpr int kLongBands = 22;  // band 21 carries no scale factor
inline constexpr int kShortBands = 13; // band 12 carries no scale factor
inline constexpr int kSampleRateRows = 9;

// Row of the scale-factor band tables for a header: 3 × (version − 1) + sample-rate index, i.e.
// 44100, 48000, 32000 (MPEG-1), 22050, 24000, 16000 (MPEG-2), 11025, 12000, 8000 Hz (MPEG-2.5).
constexpr int SampleRateRow(int version, int sampleRateIndex) {
    return 3 * (version - 1) + sampleRateIndex;
}

// ISO/IEC 11172-3 Table B.8 (MPEG-1), ISO/IEC 13818-3 Table B.2 (MPEG-2), and the MPEG-2.5
// rates: widths of the long-block scale-factor bands 0..21, per sample-rate row. At 24 kHz
// band 18 starts at line 332 (bands 17 and 18 are 54 and 62 lines wide), as the table of
// 13818-3 prints it and encoders place their Huffman region boundaries; a decoder that puts the
// boundary at 330 switches code tables two lines early and misreads the rest of the granule.
inline constexpr std::array<std::array<std::uint8_t, kLongBands>, kSampleRateRows> kLongBandWidths =
    {{
        {4, 4, 4, 4, 4, 4, 6, 6, 8, 8, 10, 12, 16, 20, 24, 28, 34, 42, 50, 54, 76, 158},
        {4, 4, 4, 4, 4, 4, 6, 6, 6, 8, 10, 12, 16, 18, 22, 28, 34, 40, 46, 54, 54, 192},
        {4, 4, 4, 4, 4, 4, 6, 6, 8, 10, 12, 16, 20, 24, 30, 38, 46, 56, 68, 84, 102, 26},
        {6, 6, 6, 6, 6, 6, 8, 10, 12, 14, 16, 20, 24, 28, 32, 38, 46, 52, 60, 68, 58, 54},
        {6, 6, 6, 6, 6, 6, 8, 10, 12, 14, 16, 18, 22, 26, 32, 38, 46, 54, 62, 70, 76, 36},
        {6, 6, 6, 6, 6, 6, 8, 10, 12, 14, 16, 20, 24, 28, 32, 38, 46, 52, 60, 68, 58, 54},
        {6, 6, 6, 6, 6, 6, 8, 10, 12, 14, 16, 20, 24, 28, 32, 38, 46, 52, 60, 68, 58, 54},
        {6, 6, 6, 6, 6, 6, 8, 10, 12, 14, 16, 20, 24, 28, 32, 38, 46, 52, 60, 68, 58, 54},
        {12, 12, 12, 12, 12, 12, 16, 20, 24, 28, 32, 40, 48, 56, 64, 76, 90, 2, 2, 2, 2, 2},
    }};

// The same tables: widths of the short-block bands 0..12 within each 192-line window.
inline constexpr std::array<std::array<std::uint8_t, kShortBands>, kSampleRateRows>
    kShortBandWidths = {{
        {4, 4, 4, 4, 6, 8, 10, 12, 14, 18, 22, 30, 56},
        {4, 4, 4, 4, 6, 6, 10, 12, 14, 16, 20, 26, 66},
        {4, 4, 4, 4, 6, 8, 12, 16, 20, 26, 34, 42, 12},
        {4, 4, 4, 6, 6, 8, 10, 14, 18, 26, 32, 42, 18},
        {4, 4, 4, 6, 8, 10, 12, 14, 18, 24, 32, 44, 12},
        {4, 4, 4, 6, 8, 10, 12, 14, 18, 24, 30, 40, 18},
        {4, 4, 4, 6, 8, 10, 12, 14, 18, 24, 30, 40, 18},
        {4, 4, 4, 6, 8, 10, 12, 14, 18, 24, 30, 40, 18},
        {8, 8, 8, 12, 16, 20, 24, 28, 36, 2, 2, 2, 26},
    }};

constexpr bool BandWidthsSumTo(const auto& rows, int total) {
    for (const auto& row : rows) {
        int sum = 0;
        for (int width : row) {
            if (width == 0 || width % 2 != 0) {
                return false;
            }
            sum += width;
        }
        if (sum != total) {
            return false;
        }
    }
    return true;
}
static_assert(BandWidthsSumTo(kLongBandWidths, kGranuleLines));
static_assert(BandWidthsSumTo(kShortBandWidths, kShortWindowLines));

// Mixed blocks (block_type 2, mixed_block_flag 1): the long bands sent before the short bands
// 3..11. MPEG-1 sends long bands 0..7 (11172-3 2.4.2.7); the lower rates long bands 0..5
// (13818-3 2.4.3.2, the counts of nr_of_sfb_block). Both cover 36 lines, except at 8000 Hz.
inline constexpr int kMixedLongBandsMpeg1 = 8;
inline constexpr int kMixedLongBandsLsf = 6;
inline constexpr int kMixedFirstShortBand = 3;

// ISO/IEC 11172-3 Table B.6: pretab, added to the long-band scale factors when preflag is set.
inline constexpr std::array<std::uint8_t, kLongBands> kPretab = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                                                 1, 1, 1, 1, 2, 2, 3, 3, 3, 2, 0};

// ISO/IEC 11172-3 2.4.2.7, scalefac_compress: bits of the scale factors of long bands 0..10
// (short bands 0..5) and of long bands 11..20 (short bands 6..11).
inline constexpr std::array<std::uint8_t, 16> kSlen1 = {0, 0, 0, 0, 3, 1, 1, 1,
                                                        2, 2, 2, 3, 3, 3, 4, 4};
inline constexpr std::array<std::uint8_t, 16> kSlen2 = {0, 1, 2, 3, 0, 1, 2, 3,
                                                        1, 2, 3, 1, 2, 3, 2, 3};

// ISO/IEC 11172-3 2.4.2.7, scfsi_band: the first long band of each of the four scfsi groups,
// and the end of the last.
inline constexpr std::array<std::uint8_t, 5> kScfsiBandStarts = {0, 6, 11, 16, 21};

// ISO/IEC 13818-3 2.4.3.2, nr_of_sfb_block[row][block kind][partition]: scale factors per
// partition; block kind 0 long, 1 short (three per band), 2 mixed (6 long, then three per band).
inline constexpr std::array<std::array<std::array<std::uint8_t, 4>, 3>, 6> kLsfPartitionSizes = {{
    {{{6, 5, 5, 5}, {9, 9, 9, 9}, {6, 9, 9, 9}}},
    {{{6, 5, 7, 3}, {9, 9, 12, 6}, {6, 9, 12, 6}}},
    {{{11, 10, 0, 0}, {18, 18, 0, 0}, {15, 18, 0, 0}}},
    {{{7, 7, 7, 0}, {12, 12, 12, 0}, {6, 15, 12, 0}}},
    {{{6, 6, 6, 3}, {12, 9, 9, 6}, {6, 12, 9, 6}}},
    {{{8, 8, 5, 0}, {15, 12, 9, 0}, {6, 18, 9, 0}}},
}};

constexpr bool LsfPartitionsCount(int kind, int total) {
    for (const auto& row : kLsfPartitionSizes) {
        int sum = 0;
        for (int n : row[static_cast<std::size_t>(kind)]) {
            sum += n;
        }
        if (sum != total) {
            return false;
        }
    }
    return true;
}
static_assert(LsfPartitionsCount(0, 21));
static_assert(LsfPartitionsCount(1, 36));
static_assert(LsfPartitionsCount(2, kMixedLongBandsLsf + 3 * (12 - kMixedFirstShortBand)));

// ISO/IEC 11172-3 Table B.9: the alias-reduction coefficients ci.
inline constexpr std::array<double, 8> kAliasCi = {-0.6,   -0.535, -0.33,   -0.185,
                                                   -0.095, -0.041, -0.0142, -0.0037};

} // namespace fz::mpa
