// Layer III frame decoding: the bit reservoir's rules, frames without their main data, and
// damaged frames (impossible side information, garbage main data, truncation), which must
// decode to something finite without reading outside the frame or the reservoir (the suite
// runs under AddressSanitizer).

#include "fzctrl/play/mpa/MpaBitReader.h"
#include "fzctrl/play/mpa/MpaLayer3.h"
#include "fzctrl/play/mpa/MpaLayer3Reservoir.h"
#include "fzctrl/play/mpa/MpaLayer3SideInfo.h"
#include "fzctrl/play/mpa/MpaLayer3State.h"
#include "tests/play/MpaLayer3FrameBuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <numeric>
#include <ostream>
#include <random>
#include <vector>

namespace fz::mpa {
namespace {

using fz::test::mpa::BuildLayer3Frame;
using fz::test::mpa::FillScaleFactors;
using fz::test::mpa::Layer3FrameSpec;

class Layer3Decode : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Layer3BuildTables(); }

    void SetUp() override {
        m_state = std::make_unique<Layer3State>();
        Layer3Reset(*m_state, 558);
        m_out = std::make_unique<OutputArea>();
    }

    Layer3Result Decode(const std::vector<std::uint8_t>& frame, int& granules) {
        MpaFrameHeader header = ParseHeader(frame);
        return Layer3DecodeFrame(*m_state, header, frame.data(), static_cast<int>(frame.size()),
                                 m_out->pcm, granules);
    }

    static MpaFrameHeader ParseHeader(const std::vector<std::uint8_t>& f) {
        MpaFrameHeader h{};
        h.version = (f[1] & 0x18) == 0x18 ? 1 : (f[1] & 0x18) == 0x10 ? 2 : 3;
        h.layer = 3;
        h.crc = (f[1] & 1) ? 0 : 1;
        h.bitRateIndex = f[2] >> 4;
        h.sampleRateIndex = (f[2] >> 2) & 3;
        h.padding = (f[2] >> 1) & 1;
        h.mode = f[3] >> 6;
        h.modeExtension = (f[3] >> 4) & 3;
        return h;
    }

    bool OutputFinite() const {
        const float* v = &m_out->pcm[0][0][0][0];
        for (std::size_t i = 0; i < sizeof(Layer3Output) / sizeof(float); ++i) {
            if (!std::isfinite(v[i])) {
                return false;
            }
        }
        return true;
    }

    double Energy(int channel, int granule) const {
        double sum = 0.0;
        for (const auto& slot : m_out->pcm[channel][granule]) {
            for (float v : slot) {
                sum += double(v) * v;
            }
        }
        return sum;
    }

    std::unique_ptr<Layer3State> m_state;
    struct OutputArea {
        Layer3Output pcm;
    };
    std::unique_ptr<OutputArea> m_out;
};

// A valid MPEG-1 frame (44.1 kHz, 320 kbit/s, long blocks), joint stereo with middle/side, or
// with `modeExtension` 0 two independent channels.
Layer3FrameSpec ToneSpec(unsigned seed, int modeExtension = 2) {
    Layer3FrameSpec layout;
    layout.modeExtension = modeExtension;
    std::mt19937 random(seed);
    for (auto& granule : layout.channel) {
        for (auto& c : granule) {
            c.scalefacCompress = 9;
            FillScaleFactors(c, 1, false, static_cast<unsigned>(random()), 3);
            for (int i = 0; i < 80; ++i) {
                c.values[i] = static_cast<int>(random() % 13) - 6;
            }
        }
    }
    return layout;
}

void SetBits(std::vector<std::uint8_t>& frame, int bitPos, std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) {
        const int bit = bitPos + i;
        const std::uint8_t mask = static_cast<std::uint8_t>(0x80 >> (bit % 8));
        if ((value >> (count - 1 - i)) & 1) {
            frame[static_cast<std::size_t>(bit / 8)] |= mask;
        } else {
            frame[static_cast<std::size_t>(bit / 8)] &= static_cast<std::uint8_t>(~mask);
        }
    }
}

// Bit positions in an MPEG-1 two-channel frame without CRC: header 32, main_data_begin 9,
// private 3, scfsi 8, then 59 bits per granule and channel.
constexpr int kMainDataBeginBit = 32;
int GranuleBit(int gr, int ch, int field) {
    return 32 + 20 + 59 * (2 * gr + ch) + field;
}
constexpr int kPart23Field = 0;
constexpr int kBigValuesField = 12;
constexpr int kWindowSwitchField = 33;
constexpr int kTableSelectField = 34;

TEST_F(Layer3Decode, ReservoirKeepsMainDataAcrossFramesAndMovesAtTheThreshold) {
    std::vector<std::uint8_t> data(1400);
    std::iota(data.begin(), data.end(), 0);
    // A fresh reservoir holds nothing: a frame reaching back has no main data, yet its bytes
    // are kept for the next frame.
    EXPECT_EQ(Layer3ReservoirAppend(*m_state, data.data(), 100, 1), -1);
    EXPECT_EQ(m_state->reservoirSize, 100);
    EXPECT_EQ(Layer3ReservoirAppend(*m_state, data.data(), 100, 100), 0);
    EXPECT_EQ(Layer3ReservoirAppend(*m_state, data.data(), 100, 201), -1);
    EXPECT_EQ(Layer3ReservoirAppend(*m_state, data.data(), 100, 50), 250);
    // Fill up to just past the threshold without a move.
    while (m_state->reservoirSize <= kReservoirMoveThreshold) {
        const int before = m_state->reservoirSize;
        EXPECT_EQ(Layer3ReservoirAppend(*m_state, data.data(), 1400, 10), before - 10);
    }
    const int size = m_state->reservoirSize;
    ASSERT_LE(size, kReservoirBytes);
    std::vector<std::uint8_t> tail(m_state->reservoir + size - 300, m_state->reservoir + size);
    // Past the threshold the 300 bytes still needed move to the start, then the frame follows.
    EXPECT_EQ(Layer3ReservoirAppend(*m_state, data.data() + 7, 500, 300), 0);
    EXPECT_EQ(m_state->reservoirSize, 800);
    EXPECT_EQ(std::memcmp(m_state->reservoir, tail.data(), 300), 0);
    EXPECT_EQ(std::memcmp(m_state->reservoir + 300, data.data() + 7, 500), 0);
}

TEST_F(Layer3Decode, ReservoirNeverGrowsBeyondItsSize) {
    std::vector<std::uint8_t> data(20000, 0x5A);
    EXPECT_EQ(Layer3ReservoirAppend(*m_state, data.data(), 20000, 0), 0);
    EXPECT_EQ(m_state->reservoirSize, kReservoirBytes);
    // Past the threshold: only main_data_begin bytes stay, whatever the frame claims.
    EXPECT_EQ(Layer3ReservoirAppend(*m_state, data.data(), 20000, 511), 0);
    EXPECT_EQ(m_state->reservoirSize, kReservoirBytes);
    EXPECT_EQ(Layer3ReservoirAppend(*m_state, data.data(), -5, 0), 0);
}

TEST_F(Layer3Decode, FrameWhoseMainDataIsMissingLeavesTheOutputAlone) {
    std::vector<std::uint8_t> frame = BuildLayer3Frame(ToneSpec(1));
    ASSERT_FALSE(frame.empty());
    SetBits(frame, kMainDataBeginBit, 40, 9);
    float* first = &m_out->pcm[0][0][0][0];
    std::fill(first, first + sizeof(Layer3Output) / sizeof(float), 123.0f);
    int granules = -1;
    EXPECT_EQ(Decode(frame, granules), Layer3Result::NoMainData);
    EXPECT_EQ(granules, 0);
    EXPECT_EQ(m_out->pcm[1][1][17][30], 123.0f);
    EXPECT_EQ(m_out->pcm[0][0][0][0], 123.0f);

    // The next frame reaches 40 bytes back into this one's main data and decodes.
    std::vector<std::uint8_t> next = BuildLayer3Frame(ToneSpec(2));
    SetBits(next, kMainDataBeginBit, 40, 9);
    EXPECT_EQ(Decode(next, granules), Layer3Result::Decoded);
    EXPECT_EQ(granules, 2);
    EXPECT_TRUE(OutputFinite());
}

TEST_F(Layer3Decode, ValidFrameGivesSoundInBothGranulesAndChannels) {
    int granules = 0;
    ASSERT_EQ(Decode(BuildLayer3Frame(ToneSpec(3)), granules), Layer3Result::Decoded);
    ASSERT_EQ(granules, 2);
    for (int ch = 0; ch < 2; ++ch) {
        for (int gr = 0; gr < 2; ++gr) {
            EXPECT_GT(Energy(ch, gr), 1e-6) << ch << gr;
        }
    }
}

// Impossible side information in granule 0, channel 0: that granule is silent, the others
// decode as they would have.
struct DamageCase {
    const char* name;
    int field;
    std::uint32_t value;
    int bits;
    bool othersIntact; // false where the change also shifts the later side information
};

// Test listings name the case instead of dumping its bytes.
void PrintTo(const DamageCase& c, std::ostream* out) {
    *out << c.name;
}

class Layer3DamagedSideInfo : public Layer3Decode,
                              public ::testing::WithParamInterface<DamageCase> {};

TEST_P(Layer3DamagedSideInfo, SilencesOnlyTheDamagedGranule) {
    const DamageCase& c = GetParam();
    std::vector<std::uint8_t> frame = BuildLayer3Frame(ToneSpec(4, 0));
    ASSERT_FALSE(frame.empty());
    int granules = 0;
    ASSERT_EQ(Decode(frame, granules), Layer3Result::Decoded);
    const double intact[3] = {Energy(0, 1), Energy(1, 0), Energy(1, 1)};
    ASSERT_GT(Energy(0, 0), 0.0);

    SetUp();
    SetBits(frame, GranuleBit(0, 0, c.field), c.value, c.bits);
    ASSERT_EQ(Decode(frame, granules), Layer3Result::Decoded);
    EXPECT_TRUE(OutputFinite());
    EXPECT_EQ(Energy(0, 0), 0.0);
    if (c.othersIntact) {
        EXPECT_DOUBLE_EQ(Energy(1, 0), intact[1]);
        EXPECT_DOUBLE_EQ(Energy(1, 1), intact[2]);
        // Granule 1 of channel 0 lacks only the overlap of the silent granule.
        EXPECT_GT(Energy(0, 1), 0.0);
        EXPECT_NE(Energy(0, 1), intact[0]);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, Layer3DamagedSideInfo,
    ::testing::Values(DamageCase{"BigValuesAbove288", kBigValuesField, 300, 9, true},
                      DamageCase{"BigValuesMaximum", kBigValuesField, 511, 9, true},
                      DamageCase{"UnusedTable4", kTableSelectField, 4, 5, true},
                      DamageCase{"UnusedTable14", kTableSelectField, 14, 5, true},
                      DamageCase{"WindowSwitchWithBlockType0", kWindowSwitchField, 0b100, 3,
                                 false}),
    [](const auto& testInfo) { return testInfo.param.name; });

TEST_F(Layer3Decode, OverlongPart23LengthReadsOnlyTheReservoir) {
    std::vector<std::uint8_t> frame = BuildLayer3Frame(ToneSpec(5));
    for (int gr = 0; gr < 2; ++gr) {
        for (int ch = 0; ch < 2; ++ch) {
            SetBits(frame, GranuleBit(gr, ch, kPart23Field), 4095, 12);
            SetBits(frame, GranuleBit(gr, ch, kBigValuesField), 288, 9);
        }
    }
    int granules = 0;
    EXPECT_EQ(Decode(frame, granules), Layer3Result::Decoded);
    EXPECT_TRUE(OutputFinite());
}

TEST_F(Layer3Decode, FrameShorterThanItsSideInformationHasNoMainData) {
    std::vector<std::uint8_t> frame = BuildLayer3Frame(ToneSpec(6));
    std::vector<std::uint8_t> cut(frame.begin(), frame.begin() + 20);
    int granules = -1;
    EXPECT_EQ(Decode(cut, granules), Layer3Result::NoMainData);
    EXPECT_EQ(granules, 0);
    EXPECT_EQ(m_state->reservoirSize, 0);
}

// Random bytes behind valid headers of every version, mode and rate; and whole random frames.
// Each is decoded in an exact-size copy, so that AddressSanitizer sees any read past its end.
TEST_F(Layer3Decode, GarbageNeverReadsOutsideTheFrameOrTheReservoir) {
    std::mt19937 random(11);
    const std::uint8_t versionBits[3] = {0xFB, 0xF3, 0xE3};
    for (int trial = 0; trial < 600; ++trial) {
        const int version = trial % 3;
        const int size = 24 + static_cast<int>(random() % 1500);
        auto frame = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(size));
        for (int i = 0; i < size; ++i) {
            frame[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(random());
        }
        frame[0] = 0xFF;
        frame[1] = static_cast<std::uint8_t>(versionBits[version] & ((random() & 1) ? 0xFF : 0xFE));
        MpaFrameHeader h{};
        h.version = version + 1;
        h.layer = 3;
        h.crc = (frame[1] & 1) ? 0 : 1;
        h.sampleRateIndex = static_cast<int>(random() % 3);
        h.mode = static_cast<int>(random() % 4);
        h.modeExtension = static_cast<int>(random() % 4);
        int granules = 0;
        Layer3Result result =
            Layer3DecodeFrame(*m_state, h, frame.get(), size, m_out->pcm, granules);
        if (result == Layer3Result::Decoded) {
            EXPECT_EQ(granules, version == 0 ? 2 : 1);
        }
        if (trial % 50 == 0) {
            EXPECT_TRUE(OutputFinite());
        }
    }
}

// The reader's data ends mid-byte, in a heap block of exactly its two bytes, so that the
// sanitizer sees any read behind them.
TEST_F(Layer3Decode, BitReaderGivesZerosPastItsEnd) {
    const std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[2]{0xFF, 0xFF});
    MpaBitReader reader(bytes.get(), 12);
    EXPECT_EQ(reader.Read(8), 0xFFu);
    EXPECT_EQ(reader.Peek(8), 0xF0u);
    EXPECT_EQ(reader.Read(4), 0xFu);
    EXPECT_FALSE(reader.Overrun());
    EXPECT_EQ(reader.Read(24), 0u);
    EXPECT_TRUE(reader.Overrun());
    EXPECT_EQ(reader.Read(1), 0u);
}

} // namespace
} // namespace fz::mpa
