// The decoder's tables against the standards' tables in the checked JSON data (when at hand).
#include "fzctrl/play/mpa/MpaDecoder.h"
#include "fzctrl/play/mpa/MpaDecoderState.h"
#include "fzctrl/play/mpa/MpaHeaderTables.h"
#include "fzctrl/play/mpa/MpaLayer12Tables.h"
#include "fzctrl/play/mpa/MpaSynthesisTables.h"
#include "tests/play/support/JsonValue.h"
#include "tests/support/IsolatedEnvironment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace fz {
namespace {

using test::JsonValue;

JsonValue Load(const char* file) {
    const std::filesystem::path dir = test::StandardDataDir();
    if (dir.empty() || !std::filesystem::exists(dir / file))
        return {};
    return JsonValue::ParseFile((dir / file).string());
}

#define LOAD_OR_SKIP(var, file)                                                                    \
    const JsonValue var = Load(file);                                                              \
    if (var.IsNull())                                                                              \
    GTEST_SKIP() << "standard data " << file << " not at hand"

TEST(MpaTablesTest, BitRatesAndSampleRates) {
    LOAD_OR_SKIP(json, "mpeg_audio_header.json");
    const char* rows[2] = {"mpeg1", "mpeg2_and_mpeg2.5"};
    for (int row = 0; row < 2; ++row)
        for (int layer = 1; layer <= 3; ++layer) {
            const JsonValue& list =
                json["bitrate_kbps"][rows[row]]["layer" + std::to_string(layer)];
            ASSERT_EQ(list.Size(), 16u);
            for (int i = 1; i <= 14; ++i)
                EXPECT_EQ(mpa::BitRateKbps(row == 0 ? 1 : 2, layer, i),
                          list[static_cast<std::size_t>(i)].Int())
                    << row << " " << layer << " " << i;
            EXPECT_TRUE(list[15].IsNull());
        }
    const char* versions[3] = {"mpeg1", "mpeg2", "mpeg2.5"};
    for (int v = 1; v <= 3; ++v)
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(mpa::SampleRateHz(v, i),
                      json["sample_rate_hz"][versions[v - 1]][static_cast<std::size_t>(i)].Int());
}

TEST(MpaTablesTest, SynthesisWindowTableB3) {
    LOAD_OR_SKIP(json, "mpeg_audio_synthesis_window.json");
    const JsonValue& k = json["D_times_65536"];
    const JsonValue& d = json["D"];
    ASSERT_EQ(k.Size(), 512u);
    MpaInit();
    const auto& window = mpa::DecoderState().tables.synthesis.window;
    for (int i = 0; i < 512; ++i) {
        EXPECT_EQ(mpa::SynthesisWindowTimes65536(i), k[static_cast<std::size_t>(i)].Int()) << i;
        EXPECT_NEAR(window[i / 32][i % 32] / 32768.0, d[static_cast<std::size_t>(i)].Number(),
                    6e-10)
            << i;
    }
}

TEST(MpaTablesTest, ScaleFactorsTableB1) {
    LOAD_OR_SKIP(json, "mpeg_audio_l12.json");
    const JsonValue& values = json["scalefactors"]["values"];
    ASSERT_EQ(values.Size(), 63u);
    MpaInit();
    const auto& scale = mpa::DecoderState().tables.scaleFactors;
    for (std::size_t i = 0; i < 63; ++i)
        EXPECT_NEAR(scale[i], values[i].Number(), values[i].Number() * 1e-7) << i;
    EXPECT_EQ(scale[63], 0.0f);
}

TEST(MpaTablesTest, Layer2ClassesTableB4) {
    LOAD_OR_SKIP(json, "mpeg_audio_l12.json");
    const JsonValue& classes = json["layer2_classes"]["classes"];
    ASSERT_EQ(classes.Size(), mpa::kLayer2Classes.size());
    MpaInit();
    const mpa::MpaDecoderTables& tables = mpa::DecoderState().tables;
    for (std::size_t q = 0; q < classes.Size(); ++q) {
        const JsonValue& c = classes[q];
        const mpa::Layer2Class& ours = mpa::kLayer2Classes[q];
        EXPECT_EQ(ours.steps, c["steps"].Int()) << q;
        EXPECT_EQ(ours.codewordBits, c["bits_per_codeword"].Int()) << q;
        EXPECT_EQ(ours.grouped, c["grouped"].Int() != 0) << q;
        // Our v * scale + offset against C (s''' + D) with s''' the level's b-bit code with
        // its most significant bit inverted, as a fraction.
        const int b = c["sample_bits"].Int();
        const double half = std::exp2(b - 1);
        for (int v = 0; v < ours.steps; v += std::max(1, ours.steps / 64)) {
            const double fraction = (v - half) / half;
            const double expected = c["C"].Number() * (fraction + c["D"].Number());
            EXPECT_NEAR(v * tables.layer2Scale[q] + tables.layer2Offset[q], expected, 2e-6)
                << q << " " << v;
        }
    }
}

TEST(MpaTablesTest, Layer2AllocationTablesB2AndLsf) {
    LOAD_OR_SKIP(json, "mpeg_audio_l12.json");
    const char* names[5] = {"B.2a", "B.2b", "B.2c", "B.2d", "LSF"};
    for (std::size_t t = 0; t < 5; ++t) {
        const JsonValue& table = json["layer2_allocation_tables"]["tables"][names[t]];
        const mpa::Layer2AllocationTable& ours = mpa::kLayer2AllocationTables[t];
        ASSERT_EQ(ours.sbLimit, table["sblimit"].Int()) << names[t];
        for (std::size_t sb = 0; sb < static_cast<std::size_t>(ours.sbLimit); ++sb) {
            const JsonValue& subband = table["subbands"][sb];
            const mpa::Layer2AllocationRow& row =
                mpa::kLayer2AllocationRows[static_cast<std::size_t>(ours.rowOf[sb])];
            ASSERT_EQ(row.allocationBits, subband["nbal"].Int()) << names[t] << " " << sb;
            for (std::size_t a = 0; a < subband["class"].Size(); ++a) {
                const JsonValue& c = subband["class"][a];
                EXPECT_EQ(row.classOf[a], c.IsNull() ? -1 : c.Int())
                    << names[t] << " " << sb << " " << a;
            }
        }
    }
}

TEST(MpaTablesTest, Layer2TableSelection) {
    LOAD_OR_SKIP(json, "mpeg_audio_l12.json");
    const JsonValue& lists = json["layer2_table_selection"]["mpeg1_by_bitrate_index"];
    const char* names[5] = {"B.2a", "B.2b", "B.2c", "B.2d", "LSF"};
    for (int rate : {44100, 48000, 32000})
        for (int channels : {1, 2}) {
            const JsonValue& list =
                lists[std::to_string(rate) + (channels == 2 ? "_two_channels" : "_single_channel")];
            ASSERT_EQ(list.Size(), 14u);
            for (int index = 1; index <= 14; ++index) {
                const mpa::Layer2Table table =
                    mpa::SelectLayer2Table(1, rate, mpa::BitRateKbps(1, 2, index), channels);
                EXPECT_EQ(names[static_cast<int>(table)],
                          list[static_cast<std::size_t>(index - 1)].String())
                    << rate << " " << channels << " " << index;
            }
        }
    for (int version : {2, 3})
        EXPECT_EQ(mpa::SelectLayer2Table(version, 24000, 160, 2), mpa::Layer2Table::Lsf);
}

TEST(MpaTablesTest, ScfsiPatterns) {
    LOAD_OR_SKIP(json, "mpeg_audio_l12.json");
    const JsonValue& patterns = json["layer2_scfsi"]["patterns"];
    ASSERT_EQ(patterns.Size(), 4u);
    for (std::size_t s = 0; s < 4; ++s) {
        EXPECT_EQ(mpa::kLayer2ScfsiPatterns[s].count, patterns[s]["count"].Int());
        for (std::size_t part = 0; part < 3; ++part)
            EXPECT_EQ(mpa::kLayer2ScfsiPatterns[s].partOf[part], patterns[s]["parts"][part].Int());
    }
}

} // namespace
} // namespace fz
