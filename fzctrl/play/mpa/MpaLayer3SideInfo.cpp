#include "fzctrl/play/mpa/MpaLayer3SideInfo.h"

#include "fzctrl/play/mpa/MpaBitReader.h"
#include "fzctrl/play/mpa/MpaHuffmanTables.h"
#include "fzctrl/play/mpa/MpaLayer3BuiltTables.h"

#include <algorithm>

namespace fz::mpa {

namespace {

bool TableUsable(int table) {
    return table != kHuffmanTableUnused4 && table != kHuffmanTableUnused14;
}

void ParseGranule(MpaBitReader& bits, bool lsf, int rateRow, Layer3GranuleInfo& g) {
    const auto& longBounds = Layer3Tables().longBounds[static_cast<std::size_t>(rateRow)];
    const auto& shortBounds = Layer3Tables().shortBounds[static_cast<std::size_t>(rateRow)];

    g.part23Length = static_cast<int>(bits.Read(12));
    g.bigValues = static_cast<int>(bits.Read(9));
    g.globalGain = static_cast<int>(bits.Read(8));
    g.scalefacCompress = static_cast<int>(bits.Read(lsf ? 9 : 4));
    g.valid = g.bigValues <= kGranuleLines / 2;
    bool windowSwitching = bits.Read(1) != 0;
    if (windowSwitching) {
        g.blockType = static_cast<Layer3BlockType>(bits.Read(2));
        g.mixedBlock = bits.Read(1) != 0;
        g.tableSelect[0] = static_cast<int>(bits.Read(5));
        g.tableSelect[1] = static_cast<int>(bits.Read(5));
        g.tableSelect[2] = 0;
        for (int& gain : g.subblockGain) {
            gain = static_cast<int>(bits.Read(3));
        }
        // 11172-3 2.4.2.7: a window switch never signals block type 0.
        if (g.blockType == Layer3BlockType::Normal) {
            g.valid = false;
        }
        // Implied region0_count 7 (8 for short blocks, which count short bands three
        // times) and region1_count 36: region 1 runs to the end of the big_values part.
        if (g.blockType == Layer3BlockType::Short && !g.mixedBlock) {
            g.region1Start = 3 * shortBounds[3];
        } else {
            g.region1Start = longBounds[8];
        }
        g.region2Start = kGranuleLines;
    } else {
        g.blockType = Layer3BlockType::Normal;
        g.mixedBlock = false;
        for (int& table : g.tableSelect) {
            table = static_cast<int>(bits.Read(5));
        }
        g.subblockGain[0] = g.subblockGain[1] = g.subblockGain[2] = 0;
        int region0Count = static_cast<int>(bits.Read(4));
        int region1Count = static_cast<int>(bits.Read(3));
        g.region1Start = longBounds[static_cast<std::size_t>(region0Count + 1)];
        g.region2Start =
            longBounds[static_cast<std::size_t>(std::min(region0Count + region1Count + 2, 22))];
    }
    g.preflag = lsf ? false : bits.Read(1) != 0;
    g.scalefacScale = static_cast<int>(bits.Read(1));
    g.count1TableSelect = static_cast<int>(bits.Read(1));

    int bigLines = 2 * std::min(g.bigValues, kGranuleLines / 2);
    g.region1Start = std::min(g.region1Start, bigLines);
    g.region2Start = std::clamp(g.region2Start, g.region1Start, bigLines);
    // A table that codes nothing is harmless only where its region is empty.
    int regionStarts[4] = {0, g.region1Start, g.region2Start, bigLines};
    for (int r = 0; r < 3; ++r) {
        if (regionStarts[r + 1] > regionStarts[r] && !TableUsable(g.tableSelect[r])) {
            g.valid = false;
        }
    }
}

} // namespace

int Layer3ParseSideInfo(const std::uint8_t* bytes, int version, int channels, int rateRow,
                        Layer3SideInfo& info) {
    const bool lsf = version != 1;
    const int size = Layer3SideInfoBytes(version, channels);
    MpaBitReader bits(bytes, size * 8);

    info.scfsi[0] = info.scfsi[1] = 0;
    if (lsf) {
        info.mainDataBegin = static_cast<int>(bits.Read(8));
        bits.Skip(channels == 1 ? 1 : 2);
    } else {
        info.mainDataBegin = static_cast<int>(bits.Read(9));
        bits.Skip(channels == 1 ? 5 : 3);
        for (int ch = 0; ch < channels; ++ch) {
            info.scfsi[ch] = static_cast<int>(bits.Read(4));
        }
    }
    const int granules = lsf ? 1 : 2;
    for (int gr = 0; gr < granules; ++gr) {
        for (int ch = 0; ch < channels; ++ch) {
            ParseGranule(bits, lsf, rateRow, info.granule[gr][ch]);
        }
    }
    return granules;
}

} // namespace fz::mpa
