#include "tests/play/MpaLayer3FrameBuilder.h"

#include "fzctrl/play/mpa/MpaHuffmanTables.h"
#include "fzctrl/play/mpa/MpaLayer3ScaleFactors.h"
#include "fzctrl/play/mpa/MpaLayer3Tables.h"
#include "tests/play/support/MpaOracle.h"

#include <algorithm>
#include <cstdlib>
#include <random>

namespace fz::test::mpa {

namespace {

using fz::mpa::Layer3BlockType;

constexpr int kTable = 24; // table_select with code table 24 and linbits 4
constexpr int kLinbits = 4;

// Bit rates of ISO/IEC 11172-3 / 13818-3 Layer III, kbit/s.
constexpr int kBitRatesMpeg1[15] = {0,   32,  40,  48,  56,  64,  80, 96,
                                    112, 128, 160, 192, 224, 256, 320};
constexpr int kBitRatesLsf[15] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
constexpr int kRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};

void PutPair(BitWriter& bits, int x, int y) {
    const auto& code24 = fz::mpa::kHuffmanCodes24;
    const int ax = std::min(std::abs(x), 15 + 15);
    const int ay = std::min(std::abs(y), 15 + 15);
    const int cx = std::min(ax, 15);
    const int cy = std::min(ay, 15);
    const auto& code = code24[static_cast<std::size_t>(cx * 16 + cy)];
    bits.Put(code.bits, code.length);
    if (cx == 15) {
        bits.Put(static_cast<std::uint32_t>(ax - 15), kLinbits);
    }
    if (ax != 0) {
        bits.Put(x < 0 ? 1 : 0, 1);
    }
    if (cy == 15) {
        bits.Put(static_cast<std::uint32_t>(ay - 15), kLinbits);
    }
    if (ay != 0) {
        bits.Put(y < 0 ? 1 : 0, 1);
    }
}

// Scale factors and Huffman data of one channel; returns its bits.
BitWriter MainData(const Layer3ChannelSpec& c, int& bigValues) {
    BitWriter bits;
    for (std::size_t i = 0; i < c.scaleFactors.size(); ++i) {
        bits.Put(static_cast<std::uint32_t>(c.scaleFactors[i]), c.scaleFactorBits[i]);
    }
    int last = 0;
    for (int i = 0; i < 576; ++i) {
        if (c.values[i] != 0) {
            last = i + 1;
        }
    }
    bigValues = (last + 1) / 2;
    for (int i = 0; i < 2 * bigValues; i += 2) {
        PutPair(bits, c.values[i], c.values[i + 1]);
    }
    return bits;
}

void PutGranuleInfo(BitWriter& bits, const Layer3ChannelSpec& c, bool lsf, int part23Length,
                    int bigValues) {
    bits.Put(static_cast<std::uint32_t>(part23Length), 12);
    bits.Put(static_cast<std::uint32_t>(bigValues), 9);
    bits.Put(static_cast<std::uint32_t>(c.globalGain), 8);
    bits.Put(static_cast<std::uint32_t>(c.scalefacCompress), lsf ? 9 : 4);
    if (c.blockType != Layer3BlockType::Normal) {
        bits.Put(1, 1);
        bits.Put(static_cast<std::uint32_t>(c.blockType), 2);
        bits.Put(c.mixedBlock ? 1 : 0, 1);
        bits.Put(kTable, 5);
        bits.Put(kTable, 5);
        for (int g : c.subblockGain) {
            bits.Put(static_cast<std::uint32_t>(g), 3);
        }
    } else {
        bits.Put(0, 1);
        for (int r = 0; r < 3; ++r) {
            bits.Put(kTable, 5);
        }
        bits.Put(7, 4); // region0_count
        bits.Put(5, 3); // region1_count
    }
    if (!lsf) {
        bits.Put(0, 1); // preflag
    }
    bits.Put(static_cast<std::uint32_t>(c.scalefacScale), 1);
    bits.Put(0, 1); // count1table_select
}

} // namespace

std::vector<std::uint8_t> BuildLayer3Frame(const Layer3FrameSpec& layout) {
    const bool lsf = layout.version != 1;
    const int channels = layout.mode == 3 ? 1 : 2;
    const int granules = lsf ? 1 : 2;
    const int rate = kRates[layout.version - 1][layout.sampleRateIndex];
    const int bitRate = (lsf ? kBitRatesLsf : kBitRatesMpeg1)[layout.bitRateIndex] * 1000;
    const int frameSize = lsf ? 72 * bitRate / rate : 144 * bitRate / rate;

    BitWriter header;
    header.Put(0x7FF, 11);
    header.Put(layout.version == 1 ? 3 : layout.version == 2 ? 2 : 0, 2);
    header.Put(1, 2); // Layer III
    header.Put(1, 1); // no CRC
    header.Put(static_cast<std::uint32_t>(layout.bitRateIndex), 4);
    header.Put(static_cast<std::uint32_t>(layout.sampleRateIndex), 2);
    header.Put(0, 1); // padding
    header.Put(0, 1); // private
    header.Put(static_cast<std::uint32_t>(layout.mode), 2);
    header.Put(static_cast<std::uint32_t>(layout.modeExtension), 2);
    header.Put(0, 4); // copyright, original, emphasis

    BitWriter side = header;
    side.Put(0, lsf ? 8 : 9); // main_data_begin
    side.Put(0, lsf ? (channels == 1 ? 1 : 2) : (channels == 1 ? 5 : 3));
    if (!lsf) {
        side.Put(0, 4 * channels); // scfsi
    }
    std::vector<BitWriter> main;
    for (int gr = 0; gr < granules; ++gr) {
        for (int ch = 0; ch < channels; ++ch) {
            int bigValues = 0;
            main.push_back(MainData(layout.channel[gr][ch], bigValues));
            PutGranuleInfo(side, layout.channel[gr][ch], lsf,
                           static_cast<int>(main.back().BitCount()), bigValues);
        }
    }
    BitWriter frame = side;
    for (const BitWriter& part : main) {
        std::vector<std::uint8_t> bytes = part.Bytes();
        std::size_t bitsLeft = part.BitCount();
        for (std::uint8_t byte : bytes) {
            const int n = static_cast<int>(std::min<std::size_t>(8, bitsLeft));
            frame.Put(static_cast<std::uint32_t>(byte >> (8 - n)), n);
            bitsLeft -= static_cast<std::size_t>(n);
        }
    }
    if (frame.BitCount() > static_cast<std::size_t>(frameSize) * 8) {
        return {};
    }
    return frame.Bytes(static_cast<std::size_t>(frameSize));
}

void FillScaleFactors(Layer3ChannelSpec& channel, int version, bool intensityRight, unsigned seed,
                      int maxValue) {
    std::mt19937 random(seed);
    channel.scaleFactors.clear();
    channel.scaleFactorBits.clear();
    auto put = [&](int slen) {
        const int limit = std::min((1 << slen) - 1, maxValue);
        channel.scaleFactors.push_back(
            slen == 0 ? 0 : static_cast<int>(random() % static_cast<unsigned>(limit + 1)));
        channel.scaleFactorBits.push_back(slen);
    };
    const bool shortBlock = channel.blockType == Layer3BlockType::Short;
    if (version == 1) {
        const int slen1 = fz::mpa::kSlen1[static_cast<std::size_t>(channel.scalefacCompress)];
        const int slen2 = fz::mpa::kSlen2[static_cast<std::size_t>(channel.scalefacCompress)];
        if (shortBlock && channel.mixedBlock) {
            for (int band = 0; band < fz::mpa::kMixedLongBandsMpeg1; ++band) {
                put(slen1);
            }
            for (int band = fz::mpa::kMixedFirstShortBand; band < 12; ++band) {
                for (int w = 0; w < 3; ++w) {
                    put(band < 6 ? slen1 : slen2);
                }
            }
        } else if (shortBlock) {
            for (int band = 0; band < 12; ++band) {
                for (int w = 0; w < 3; ++w) {
                    put(band < 6 ? slen1 : slen2);
                }
            }
        } else {
            for (int band = 0; band < 21; ++band) {
                put(band < 11 ? slen1 : slen2);
            }
        }
        return;
    }
    const auto p = fz::mpa::Layer3LsfPartitionsFor(
        channel.scalefacCompress, intensityRight ? fz::mpa::Layer3LsfChannel::IntensityRight
                                                 : fz::mpa::Layer3LsfChannel::Normal);
    const auto& sizes =
        fz::mpa::kLsfPartitionSizes[static_cast<std::size_t>(p.row)]
                                   [shortBlock ? (channel.mixedBlock ? 2u : 1u) : 0u];
    for (std::size_t part = 0; part < 4; ++part) {
        for (int n = 0; n < sizes[part]; ++n) {
            put(p.slen[part]);
        }
    }
}

} // namespace fz::test::mpa
