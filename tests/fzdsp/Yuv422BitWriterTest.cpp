#include "fzdsp/jpeg/Yuv422BitWriter.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace fz {
namespace {

struct Put {
    std::uint32_t bits;
    int count;
};

struct Case {
    std::string name;
    std::vector<Put> puts;
    int pendingBits;
    std::vector<std::uint8_t> expected;
};

// Test listings name the case instead of dumping its bytes.
void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

class Yuv422BitWriterTest : public testing::TestWithParam<Case> {};

TEST_P(Yuv422BitWriterTest, PacksStuffsAndEndsOnAGroupOfFour) {
    const Case& c = GetParam();
    std::pmr::vector<std::uint8_t> out;
    Yuv422BitWriter writer(out);
    for (const Put& put : c.puts)
        writer.PutBits(put.bits, put.count);
    EXPECT_EQ(writer.PendingBits(), c.pendingBits);
    writer.Finish();
    EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.end()), c.expected);
    EXPECT_EQ(out.size() % 4, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Yuv422BitWriterTest,
    testing::Values(
        Case{"NothingPending", {}, 0, {0xFF, 0xFF, 0xFF, 0xD9}},
        Case{"ThreeBits", {{0b101, 3}}, 3, {0xBF, 0xFF, 0xFF, 0xD9}},
        Case{"OneWholeByte", {{0x12, 8}}, 8, {0x12, 0xFF, 0xFF, 0xD9}},
        Case{"NineBits", {{0x12, 8}, {1, 1}}, 9, {0x12, 0xFF, 0xFF, 0xD9}}, // padded, not stuffed
        Case{"TwoWholeBytes", {{0x1234, 16}}, 16, {0x12, 0x34, 0xFF, 0xD9}},
        Case{"SeventeenBits",
             {{0x1234, 16}, {0, 1}},
             17,
             {0x12, 0x34, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xD9}},
        Case{"ThreeWholeBytes",
             {{0x123456, 24}},
             24,
             {0x12, 0x34, 0x56, 0xFF, 0xFF, 0xFF, 0xFF, 0xD9}},
        Case{"TwentyFiveBits",
             {{0x123456, 24}, {0, 1}},
             25,
             {0x12, 0x34, 0x56, 0x7F, 0xFF, 0xFF, 0xFF, 0xD9}},
        Case{"ThirtyOneBits",
             {{0x123456, 24}, {0x2A, 7}},
             31,
             {0x12, 0x34, 0x56, 0x55, 0xFF, 0xFF, 0xFF, 0xD9}},
        Case{"OneWholeGroup",
             {{0x1234, 16}, {0x5678, 16}},
             0,
             {0x12, 0x34, 0x56, 0x78, 0xFF, 0xFF, 0xFF, 0xD9}},
        // A stuffed zero is output like any other byte and counts in the pending bits.
        Case{"StuffedByteIsPending", {{0xFF, 8}}, 16, {0xFF, 0x00, 0xFF, 0xD9}},
        Case{"StuffedByteCompletesAGroup",
             {{0xFF, 8}, {0x1234, 16}},
             0,
             {0xFF, 0x00, 0x12, 0x34, 0xFF, 0xFF, 0xFF, 0xD9}},
        Case{"CodesAcrossBytes",
             {{0b00, 2}, {0b1010, 4}, {0b11111111001, 11}},
             17,
             {0x2B, 0xFC, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xD9}}),
    [](const testing::TestParamInfo<Case>& param) { return param.param.name; });

} // namespace
} // namespace fz
