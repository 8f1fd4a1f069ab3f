// HuffmanDecodeGranule decodes most codes from a 64-bit window and only the last 64 bits of the
// data through the bit reader; both must give what a decoder that reads every field through the
// bit reader gives (the code, linbits and sign bits of ISO/IEC 11172-3 2.4.2.7 one after the
// other). Random bytes and random table choices cover every big_values table, both count1
// tables, escapes and granules that run into the end of the data.
#include "fzctrl/play/mpa/MpaBitReader.h"
#include "fzctrl/play/mpa/MpaDecoder.h"
#include "fzctrl/play/mpa/MpaHuffman.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace fz::mpa {
namespace {

// Field by field through the bit reader, with the rules HuffmanDecodeGranule states.
int ReferenceDecode(MpaBitReader& bits, const Layer3GranuleInfo& granule, int part3EndBit,
                    int (&values)[576]) {
    const int bigLines = 2 * std::min(granule.bigValues, 288);
    const int regionEnds[3] = {granule.region1Start, granule.region2Start, bigLines};
    int line = 0, nonZeroEnd = 0;
    for (int region = 0; region < 3; ++region) {
        const HuffmanTableSelect select =
            kHuffmanTableSelect[static_cast<std::size_t>(granule.tableSelect[region] & 31)];
        for (; line < regionEnds[region]; line += 2) {
            int pair[2] = {0, 0};
            if (select.codeTable >= 0) {
                const int code = HuffmanDecodePair(bits, select.codeTable);
                pair[0] = code >> 4;
                pair[1] = code & 15;
                for (int& v : pair) {
                    if (select.linbits != 0 && v == 15)
                        v += static_cast<int>(bits.Read(select.linbits));
                    if (v != 0 && bits.Read(1) != 0)
                        v = -v;
                }
            }
            values[line] = pair[0];
            values[line + 1] = pair[1];
            if (pair[0] != 0)
                nonZeroEnd = line + 1;
            if (pair[1] != 0)
                nonZeroEnd = line + 2;
        }
    }
    while (line + 4 <= 576 && bits.Position() < part3EndBit) {
        const int quad = HuffmanDecodeQuad(bits, granule.count1TableSelect);
        int v[4];
        for (int i = 0; i < 4; ++i) {
            v[i] = (quad >> (3 - i)) & 1;
            if (v[i] != 0 && bits.Read(1) != 0)
                v[i] = -1;
        }
        if (bits.Position() > part3EndBit)
            break;
        for (int i = 0; i < 4; ++i) {
            values[line + i] = v[i];
            if (v[i] != 0)
                nonZeroEnd = line + i + 1;
        }
        line += 4;
    }
    for (; line < 576; ++line)
        values[line] = 0;
    return nonZeroEnd;
}

TEST(MpaLayer3HuffmanWindow, MatchesTheFieldByFieldDecode) {
    MpaInit();
    std::mt19937 random(11);
    int granules = 0, endReached = 0, escapes = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        // Short data makes the granule run into the end, where the reader supplies zeros.
        const int bytes = trial % 3 == 0 ? 4 + static_cast<int>(random() % 24)
                                         : 40 + static_cast<int>(random() % 400);
        std::vector<std::uint8_t> data(static_cast<std::size_t>(bytes) + 3);
        for (std::uint8_t& b : data)
            b = static_cast<std::uint8_t>(random());
        Layer3GranuleInfo granule{};
        granule.bigValues = static_cast<int>(random() % 289);
        const int bigLines = 2 * granule.bigValues;
        int a = 2 * static_cast<int>(random() % (granule.bigValues + 1));
        int b = 2 * static_cast<int>(random() % (granule.bigValues + 1));
        granule.region1Start = std::min(a, b);
        granule.region2Start = std::max(a, b);
        for (int& table : granule.tableSelect)
            table = static_cast<int>(random() % 32);
        granule.count1TableSelect = static_cast<int>(random() % 2);
        const int start = static_cast<int>(random() % 8);
        const int part3End = start + static_cast<int>(random() % (8 * bytes));
        granule.part23Length = part3End - start;
        ASSERT_LE(granule.region2Start, bigLines);

        int expected[576], actual[576];
        MpaBitReader reference(data.data(), 8 * bytes);
        reference.Seek(start);
        const int expectedEnd = ReferenceDecode(reference, granule, part3End, expected);
        MpaBitReader reader(data.data(), 8 * bytes);
        reader.Seek(start);
        const int actualEnd = HuffmanDecodeGranule(reader, granule, part3End, actual);
        ASSERT_EQ(actualEnd, expectedEnd) << "trial " << trial;
        ASSERT_EQ(reader.Position(), reference.Position()) << "trial " << trial;
        for (int i = 0; i < 576; ++i) {
            ASSERT_EQ(actual[i], expected[i]) << "trial " << trial << " line " << i;
            escapes += std::abs(expected[i]) > 15;
        }
        ++granules;
        endReached += reference.Position() >= 8 * bytes - 64;
    }
    std::printf("%d granules, %d reached the last 64 bits, %d escaped values\n", granules,
                endReached, escapes);
    EXPECT_GT(endReached, 500);
    EXPECT_GT(escapes, 1000);
}

} // namespace
} // namespace fz::mpa
