// Layer III tables: every Huffman code decodes to its pair or quadruple, the compact tables in
// the code match the standards' tables kept as JSON, and the LSF scale-factor rules match the
// enumeration of all 512 + 256 scalefac_compress values.

#include "fzctrl/play/mpa/MpaLayer3Tables.h"
#include "fzctrl/play/mpa/MpaHuffman.h"
#include "fzctrl/play/mpa/MpaLayer3.h"
#include "fzctrl/play/mpa/MpaLayer3BuiltTables.h"
#include "fzctrl/play/mpa/MpaLayer3ScaleFactors.h"
#include "tests/play/support/JsonValue.h"
#include "tests/support/IsolatedEnvironment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace fz::mpa {
namespace {

using fz::test::JsonValue;

class Layer3Tables : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Layer3BuildTables(); }

    static JsonValue LoadData(const std::string& name) {
        auto dir = fz::test::StandardDataDir();
        if (dir.empty()) {
            return {};
        }
        return JsonValue::ParseFile((dir / name).string());
    }
};

// Packs codes MSB first; the reader reads nothing behind them.
struct BitPacker {
    std::vector<std::uint8_t> bytes;
    int bits = 0;
    void Put(std::uint32_t value, int count) {
        for (int i = count - 1; i >= 0; --i) {
            if (bits % 8 == 0) {
                bytes.push_back(0);
            }
            if ((value >> i) & 1) {
                bytes.back() |= static_cast<std::uint8_t>(0x80 >> (bits % 8));
            }
            ++bits;
        }
    }
    MpaBitReader Reader() {
        bytes.shrink_to_fit();
        return MpaBitReader(bytes.data(), bits);
    }
};

TEST_F(Layer3Tables, EveryBigValuesCodeDecodesToItsPairWithAnyBitsBehindIt) {
    std::mt19937 random(7);
    for (std::size_t t = 0; t < kHuffmanCodeTables.size(); ++t) {
        const HuffmanCodeTable& table = kHuffmanCodeTables[t];
        for (int x = 0; x < table.size; ++x) {
            for (int y = 0; y < table.size; ++y) {
                const HuffmanCode& code = table.codes[x * table.size + y];
                BitPacker packer;
                packer.Put(code.bits, code.length);
                packer.Put(random() & 0xFFFFF, 20);
                MpaBitReader reader = packer.Reader();
                EXPECT_EQ(HuffmanDecodePair(reader, static_cast<int>(t)), x * 16 + y)
                    << "code table " << t << " x " << x << " y " << y;
                EXPECT_EQ(reader.Position(), code.length);
            }
        }
    }
}

TEST_F(Layer3Tables, EveryCount1CodeDecodesToItsQuadruple) {
    for (int select = 0; select < 2; ++select) {
        const auto& codes = select == 0 ? kHuffmanCount1A : kHuffmanCount1B;
        for (int v = 0; v < 16; ++v) {
            BitPacker packer;
            packer.Put(codes[static_cast<std::size_t>(v)].bits,
                       codes[static_cast<std::size_t>(v)].length);
            packer.Put(0x2AAAA, 18);
            MpaBitReader reader = packer.Reader();
            EXPECT_EQ(HuffmanDecodeQuad(reader, select), v) << "table " << select;
            EXPECT_EQ(reader.Position(), codes[static_cast<std::size_t>(v)].length);
        }
    }
}

TEST_F(Layer3Tables, HuffmanCodesMatchTableB7) {
    JsonValue data = LoadData("mpeg_audio_l3_huffman.json");
    if (data.IsNull()) {
        GTEST_SKIP() << "standard data not at hand";
    }
    const JsonValue& selects = data["big_value_tables"];
    ASSERT_EQ(selects.Size(), 32u);
    for (std::size_t t = 0; t < 32; ++t) {
        const JsonValue& entry = selects[t];
        const HuffmanTableSelect& select = kHuffmanTableSelect[t];
        EXPECT_EQ(select.linbits, entry["linbits"].Int()) << t;
        if (entry["code_table"].IsNull()) {
            EXPECT_EQ(select.codeTable, -1) << t;
            continue;
        }
        ASSERT_GE(select.codeTable, 0) << t;
        const HuffmanCodeTable& table =
            kHuffmanCodeTables[static_cast<std::size_t>(select.codeTable)];
        const JsonValue& codes = data["code_tables"][std::to_string(entry["code_table"].Int())];
        EXPECT_EQ(table.size, codes["xlen"].Int());
        const JsonValue& entries = codes["entries"];
        ASSERT_EQ(entries.Size(), static_cast<std::size_t>(table.size * table.size));
        for (std::size_t i = 0; i < entries.Size(); ++i) {
            const JsonValue& e = entries[i];
            const HuffmanCode& code = table.codes[e[0].Int() * table.size + e[1].Int()];
            EXPECT_EQ(code.length, e[2].Int());
            EXPECT_EQ(code.bits, std::stoul(e[3].String(), nullptr, 2));
        }
    }
    for (const char* key : {"A", "B"}) {
        const auto& ours = std::string(key) == "A" ? kHuffmanCount1A : kHuffmanCount1B;
        const JsonValue& entries = data["count1_tables"][key]["entries"];
        ASSERT_EQ(entries.Size(), 16u);
        for (std::size_t i = 0; i < 16; ++i) {
            EXPECT_EQ(ours[i].length, entries[i][4].Int());
            EXPECT_EQ(ours[i].bits, std::stoul(entries[i][5].String(), nullptr, 2));
        }
    }
}

TEST_F(Layer3Tables, BandTablesMatchTableB8AndTheLsfTables) {
    JsonValue data = LoadData("mpeg_audio_l3_sfb.json");
    if (data.IsNull()) {
        GTEST_SKIP() << "standard data not at hand";
    }
    const auto& built = mpa::Layer3Tables();
    const JsonValue& rates = data["sample_rates"];
    ASSERT_EQ(rates.Size(), static_cast<std::size_t>(kSampleRateRows));
    const int expectedRates[kSampleRateRows] = {44100, 48000, 32000, 22050, 24000,
                                                16000, 11025, 12000, 8000};
    for (std::size_t row = 0; row < rates.Size(); ++row) {
        const JsonValue& rate = rates[row];
        EXPECT_EQ(rate["sample_rate_hz"].Int(), expectedRates[row]);
        for (std::size_t b = 0; b <= kLongBands; ++b) {
            EXPECT_EQ(built.longBounds[row][b], rate["long_boundaries"][b].Int()) << row;
        }
        for (std::size_t b = 0; b <= kShortBands; ++b) {
            EXPECT_EQ(built.shortBounds[row][b], rate["short_boundaries"][b].Int()) << row;
        }
        const JsonValue& mixed = rate["mixed_block"];
        if (!mixed.IsNull()) {
            const int longBands = row < 3 ? kMixedLongBandsMpeg1 : kMixedLongBandsLsf;
            EXPECT_EQ(mixed["long_bands"].Int(), longBands);
            EXPECT_EQ(mixed["first_short_band"].Int(), kMixedFirstShortBand);
        }
    }
}

TEST_F(Layer3Tables, ScaleFactorTablesMatchTheStandards) {
    JsonValue data = LoadData("mpeg_audio_l3_scalefac.json");
    JsonValue misc = LoadData("mpeg_audio_l3_misc.json");
    if (data.IsNull() || misc.IsNull()) {
        GTEST_SKIP() << "standard data not at hand";
    }
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(kSlen1[i], data["mpeg1"]["slen_by_scalefac_compress"]["slen1"][i].Int());
        EXPECT_EQ(kSlen2[i], data["mpeg1"]["slen_by_scalefac_compress"]["slen2"][i].Int());
    }
    for (std::size_t i = 0; i < kScfsiBandStarts.size(); ++i) {
        EXPECT_EQ(kScfsiBandStarts[i], data["mpeg1"]["scfsi_bands"]["boundaries"][i].Int());
    }
    for (std::size_t i = 0; i < kPretab.size(); ++i) {
        EXPECT_EQ(kPretab[i], data["pretab"]["values"][i].Int());
    }
    const JsonValue& sizes = data["lsf"]["nr_of_sfb_block"]["values"];
    for (std::size_t row = 0; row < 6; ++row) {
        for (std::size_t kind = 0; kind < 3; ++kind) {
            for (std::size_t part = 0; part < 4; ++part) {
                EXPECT_EQ(kLsfPartitionSizes[row][kind][part], sizes[row][kind][part].Int());
            }
        }
    }
    for (std::size_t i = 0; i < 8; ++i) {
        EXPECT_DOUBLE_EQ(kAliasCi[i], misc["alias_reduction"]["Ci"][i].Number());
        EXPECT_NEAR(mpa::Layer3Tables().aliasCs[i],
                    misc["alias_reduction"]["derived_cs"]["values"][i].Number(), 1e-7);
        EXPECT_NEAR(mpa::Layer3Tables().aliasCa[i],
                    misc["alias_reduction"]["derived_ca"]["values"][i].Number(), 1e-7);
    }
}

TEST_F(Layer3Tables, LsfScaleFactorRulesMatchEveryEnumeratedValue) {
    JsonValue data = LoadData("mpeg_audio_l3_scalefac.json");
    if (data.IsNull()) {
        GTEST_SKIP() << "standard data not at hand";
    }
    const JsonValue& normal = data["lsf"]["normal_enumeration"]["values"];
    ASSERT_EQ(normal.Size(), 512u);
    for (std::size_t i = 0; i < normal.Size(); ++i) {
        const JsonValue& e = normal[i];
        Layer3LsfPartitions p = Layer3LsfPartitionsFor(e[0].Int(), Layer3LsfChannel::Normal);
        EXPECT_EQ(p.row, e[1].Int()) << i;
        EXPECT_EQ(p.preflag, e[2].Int() != 0) << i;
        for (std::size_t s = 0; s < 4; ++s) {
            EXPECT_EQ(p.slen[s], e[3 + s].Int()) << i;
        }
    }
    const JsonValue& intensity = data["lsf"]["intensity_enumeration"]["values"];
    ASSERT_EQ(intensity.Size(), 256u);
    for (std::size_t i = 0; i < intensity.Size(); ++i) {
        const JsonValue& e = intensity[i];
        // The right channel's rule takes scalefac_compress >> 1; bit 0 is intensity_scale.
        for (int low = 0; low < 2; ++low) {
            Layer3LsfPartitions p =
                Layer3LsfPartitionsFor(e[0].Int() * 2 + low, Layer3LsfChannel::IntensityRight);
            EXPECT_EQ(p.row, e[1].Int()) << i;
            EXPECT_FALSE(p.preflag);
            for (std::size_t s = 0; s < 4; ++s) {
                EXPECT_EQ(p.slen[s], e[2 + s].Int()) << i;
            }
        }
    }
}

TEST_F(Layer3Tables, QuantiserAndStereoFactorsFollowTheirFormulas) {
    const auto& t = mpa::Layer3Tables();
    for (int i : {0, 1, 2, 15, 16, 1000, 8206}) {
        EXPECT_NEAR(t.pow43[static_cast<std::size_t>(i)], std::pow(i, 4.0 / 3.0),
                    std::pow(i, 4.0 / 3.0) * 1e-6);
    }
    EXPECT_FLOAT_EQ(t.gain[static_cast<std::size_t>(-Layer3BuiltTables::kGainMin)], 1.0f);
    EXPECT_FLOAT_EQ(t.gain[static_cast<std::size_t>(4 - Layer3BuiltTables::kGainMin)], 2.0f);
    // MPEG-1: position 0 sends everything to the right channel, 3 halves it, 6 is all left.
    EXPECT_FLOAT_EQ(t.intensityMpeg1[0][0], 0.0f);
    EXPECT_FLOAT_EQ(t.intensityMpeg1[0][1], 1.0f);
    EXPECT_FLOAT_EQ(t.intensityMpeg1[3][0], 0.5f);
    EXPECT_NEAR(t.intensityMpeg1[6][0], 1.0f, 1e-7);
    EXPECT_NEAR(t.intensityMpeg1[6][1], 0.0f, 1e-7);
    // MPEG-2: odd positions attenuate the left channel, even ones the right.
    EXPECT_FLOAT_EQ(t.intensityLsf[1][1][0], std::sqrt(0.5f));
    EXPECT_FLOAT_EQ(t.intensityLsf[1][1][1], 1.0f);
    EXPECT_FLOAT_EQ(t.intensityLsf[0][4][1], std::sqrt(0.5f));
    EXPECT_FLOAT_EQ(t.intensityLsf[1][4][1], 0.5f);
    EXPECT_FLOAT_EQ(t.intensityLsf[0][4][0], 1.0f);
}

} // namespace
} // namespace fz::mpa
