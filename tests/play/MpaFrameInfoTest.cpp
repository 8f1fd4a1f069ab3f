// MpaParseHeader and MpaGetInfo: header fields, frame sizes, the "Xing" and "VBRI" headers and
// the refusals.
#include "fzctrl/play/mpa/MpaDecoder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

namespace fz {
namespace {

struct HeaderCase {
    const char* name;
    std::uint8_t bytes[4];
    int version, layer, crc, bitRateIndex, sampleRateIndex, padding, mode;
    int sampleRate, bitRate, smallSize, largeSize, pcmBytes;
};

// Test listings name the case instead of dumping its bytes.
void PrintTo(const HeaderCase& c, std::ostream* out) {
    *out << c.name;
}

const HeaderCase kHeaderCases[] = {
    {"Mpeg1Layer3At128k",
     {0xFF, 0xFB, 0x90, 0x64},
     1,
     3,
     0,
     9,
     0,
     0,
     1,
     44100,
     128000,
     417,
     418,
     4608},
    {"Mpeg2Layer3At64k",
     {0xFF, 0xF3, 0x84, 0x44},
     2,
     3,
     0,
     8,
     1,
     0,
     1,
     24000,
     64000,
     192,
     193,
     2304},
    {"Mpeg25Layer3At8kHzMonoCrc",
     {0xFF, 0xE2, 0x48, 0xC0},
     3,
     3,
     1,
     4,
     2,
     0,
     3,
     8000,
     32000,
     288,
     289,
     1152},
    {"Mpeg1Layer1At32k", {0xFF, 0xFF, 0x10, 0x00}, 1, 1, 0, 1, 0, 0, 0, 44100, 32000, 32, 36, 1536},
    {"Mpeg1Layer2At384kMono",
     {0xFF, 0xFD, 0xE4, 0xC0},
     1,
     2,
     0,
     14,
     1,
     0,
     3,
     48000,
     384000,
     1152,
     1153,
     2304},
    {"Mpeg2Layer2PaddedCrc",
     {0xFF, 0xF4, 0x92, 0x00},
     2,
     2,
     1,
     9,
     0,
     1,
     0,
     22050,
     80000,
     522,
     523,
     4608},
    {"Mpeg2Layer1At16kHz",
     {0xFF, 0xF7, 0xE8, 0x80},
     2,
     1,
     0,
     14,
     2,
     0,
     2,
     16000,
     256000,
     768,
     772,
     1536},
    {"Mpeg1Layer3At32kHzDual",
     {0xFF, 0xFB, 0x18, 0x80},
     1,
     3,
     0,
     1,
     2,
     0,
     2,
     32000,
     32000,
     144,
     145,
     4608},
};

class HeaderTest : public testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderTest, FieldsSizesAndPcmBytes) {
    const HeaderCase& c = GetParam();
    MpaInit();
    std::vector<std::uint8_t> frame(c.bytes, c.bytes + 4);
    frame.resize(64, 0);
    MpaFrameInfo info{};
    ASSERT_EQ(MpaGetInfo(frame.data(), static_cast<int>(frame.size()), info, MpaRemember::No), 1);
    EXPECT_EQ(info.header.version, c.version);
    EXPECT_EQ(info.header.layer, c.layer);
    EXPECT_EQ(info.header.crc, c.crc);
    EXPECT_EQ(info.header.bitRateIndex, c.bitRateIndex);
    EXPECT_EQ(info.header.sampleRateIndex, c.sampleRateIndex);
    EXPECT_EQ(info.header.padding, c.padding);
    EXPECT_EQ(info.header.mode, c.mode);
    EXPECT_EQ(info.outputSampleRate, c.sampleRate);
    EXPECT_EQ(info.bitRate, c.bitRate);
    EXPECT_EQ(info.smallFrameSize, c.smallSize);
    EXPECT_EQ(info.largeFrameSize, c.largeSize);
    EXPECT_EQ(info.pcmBytesPerFrame, c.pcmBytes);
    EXPECT_EQ(info.outputChannels, c.mode == 3 ? 1 : 2);
    EXPECT_EQ(info.outputBits, 16);
    EXPECT_EQ(info.vbrFrames, 0);
    EXPECT_EQ(info.vbrBytes, 0);
    EXPECT_EQ(info.vbrHeaderFrameSize, 0);

    mpa::MpaFrameHeader header{};
    ASSERT_EQ(MpaParseHeader(frame.data(), header), 1);
    EXPECT_EQ(std::memcmp(&header, &info.header, sizeof header), 0);
}

INSTANTIATE_TEST_SUITE_P(Frames, HeaderTest, testing::ValuesIn(kHeaderCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(HeaderTest, OtherFieldsComeFromTheirBits) {
    // FF FB 93 7D: padding, private, joint stereo, mode extension 3, copyright, original,
    // emphasis 1.
    const std::uint8_t bytes[4] = {0xFF, 0xFB, 0x93, 0x7D};
    mpa::MpaFrameHeader h{};
    ASSERT_EQ(MpaParseHeader(bytes, h), 1);
    EXPECT_EQ(h.padding, 1);
    EXPECT_EQ(h.privateBit, 1);
    EXPECT_EQ(h.mode, 1);
    EXPECT_EQ(h.modeExtension, 3);
    EXPECT_EQ(h.rightsBit, 1);
    EXPECT_EQ(h.original, 1);
    EXPECT_EQ(h.emphasis, 1);
}

struct RefusalCase {
    const char* name;
    std::uint8_t bytes[4];
    int error;
};

// Test listings name the case instead of dumping its bytes.
void PrintTo(const RefusalCase& c, std::ostream* out) {
    *out << c.name;
}

const RefusalCase kRefusals[] = {
    {"FirstByteNotFF", {0xFE, 0xFB, 0x90, 0x64}, kMpaErrorNoSync},
    {"NoSyncInSecondByte", {0xFF, 0xDB, 0x90, 0x64}, kMpaErrorNoSync},
    {"Zeros", {0x00, 0x00, 0x00, 0x00}, kMpaErrorNoSync},
    {"FreeFormat", {0xFF, 0xFB, 0x00, 0x64}, kMpaErrorBadHeader},
    {"BitRateIndex15", {0xFF, 0xFB, 0xF0, 0x64}, kMpaErrorBadHeader},
    {"SampleRateIndex3", {0xFF, 0xFB, 0x9C, 0x64}, kMpaErrorBadHeader},
    {"LayerBits00", {0xFF, 0xF9, 0x90, 0x64}, kMpaErrorBadHeader},
    {"Mpeg25LayerBits00", {0xFF, 0xE0, 0x48, 0xC0}, kMpaErrorBadHeader},
};

class RefusalTest : public testing::TestWithParam<RefusalCase> {};

TEST_P(RefusalTest, FailsWithTheLastError) {
    const RefusalCase& c = GetParam();
    MpaInit();
    std::vector<std::uint8_t> frame(c.bytes, c.bytes + 4);
    frame.resize(64, 0);
    MpaFrameInfo info{};
    EXPECT_EQ(MpaGetInfo(frame.data(), 64, info, MpaRemember::No), 0);
    EXPECT_EQ(MpaLastError(), c.error);
    mpa::MpaFrameHeader header{};
    EXPECT_EQ(MpaParseHeader(frame.data(), header), 0);
    EXPECT_EQ(MpaLastError(), c.error);
    EXPECT_EQ(MpaDecodeInit(frame.data(), 64), 0);
    EXPECT_EQ(MpaLastError(), c.error);
}

INSTANTIATE_TEST_SUITE_P(Headers, RefusalTest, testing::ValuesIn(kRefusals),
                         [](const auto& p) { return std::string(p.param.name); });

void PutBigEndian(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

struct VbrCase {
    const char* name;
    std::uint8_t header[4];
    const char* tag;
    std::size_t offset; // where the tag sits: after header, CRC and Layer III side information
    int headerFrameSize, smallSize, largeSize;
};

// Test listings name the case instead of dumping its bytes.
void PrintTo(const VbrCase& c, std::ostream* out) {
    *out << c.name;
}

const VbrCase kVbrCases[] = {
    // MPEG-1 Layer III stereo: 32 bytes of side information; 32..320 kbit/s.
    {"XingMpeg1Stereo", {0xFF, 0xFB, 0x90, 0x64}, "Xing", 36, 417, 104, 1045},
    {"VbriMpeg1Stereo", {0xFF, 0xFB, 0x90, 0x64}, "VBRI", 36, 417, 104, 1045},
    // MPEG-1 Layer III mono with CRC and padding: 2 + 17 bytes; 418 bytes.
    {"XingMpeg1MonoCrcPadded", {0xFF, 0xFA, 0x92, 0xC4}, "Xing", 4 + 2 + 17, 418, 104, 1045},
    // MPEG-2 Layer III mono: 9 bytes; 8..160 kbit/s at 22050 Hz.
    {"XingMpeg2Mono", {0xFF, 0xF3, 0x80, 0xC4}, "Xing", 13, 208, 26, 523},
    // MPEG-2 Layer III stereo: 17 bytes.
    {"VbriMpeg2Stereo", {0xFF, 0xF3, 0x84, 0x44}, "VBRI", 21, 192, 24, 481},
    // Layer I at 44.1 kHz: the tag right after the header; 32..448 kbit/s.
    {"XingLayer1", {0xFF, 0xFF, 0xE0, 0x00}, "Xing", 4, 484, 32, 488},
    // Layer II at 48 kHz: 32..384 kbit/s.
    {"XingLayer2", {0xFF, 0xFD, 0xE4, 0x00}, "Xing", 4, 1152, 96, 1153},
};

class VbrHeaderTest : public testing::TestWithParam<VbrCase> {};

std::vector<std::uint8_t> VbrFrame(const VbrCase& c, std::uint32_t flags, std::size_t length) {
    std::vector<std::uint8_t> frame(std::max<std::size_t>(length, c.offset + 18), 0);
    std::memcpy(frame.data(), c.header, 4);
    std::memcpy(frame.data() + c.offset, c.tag, 4);
    if (std::string(c.tag) == "Xing") {
        PutBigEndian(frame, c.offset + 4, flags);
        PutBigEndian(frame, c.offset + 8, 1234);    // frames
        PutBigEndian(frame, c.offset + 12, 987654); // bytes
    } else {
        PutBigEndian(frame, c.offset + 10, 987654); // bytes
        PutBigEndian(frame, c.offset + 14, 1234);   // frames
    }
    return std::vector<std::uint8_t>(frame.begin(),
                                     frame.begin() + static_cast<std::ptrdiff_t>(length));
}

TEST_P(VbrHeaderTest, CountsAndSizesFromTheLowestAndHighestRate) {
    const VbrCase& c = GetParam();
    MpaInit();
    for (std::uint32_t flags : {3u, 1u, 2u, 15u}) {
        const std::vector<std::uint8_t> frame = VbrFrame(c, flags, 200);
        MpaFrameInfo info{};
        ASSERT_EQ(MpaGetInfo(frame.data(), 200, info, MpaRemember::No), 1) << flags;
        EXPECT_EQ(info.vbrFrames, 1234);
        EXPECT_EQ(info.vbrBytes, 987654);
        EXPECT_EQ(info.bitRate, 0);
        EXPECT_EQ(info.vbrHeaderFrameSize, c.headerFrameSize);
        EXPECT_EQ(info.smallFrameSize, c.smallSize);
        EXPECT_EQ(info.largeFrameSize, c.largeSize);
    }
}

TEST_P(VbrHeaderTest, NeverReadsBeyondTheGivenLength) {
    const VbrCase& c = GetParam();
    MpaInit();
    // Exactly sized heap copies: AddressSanitizer reports any read past them.
    const std::size_t needed = c.offset + (std::string(c.tag) == "Xing" ? 16 : 18);
    for (std::size_t length = 4; length <= needed; ++length) {
        const std::vector<std::uint8_t> frame = VbrFrame(c, 3, length);
        MpaFrameInfo info{};
        const int result =
            MpaGetInfo(frame.data(), static_cast<int>(length), info, MpaRemember::No);
        if (length < c.offset + 4) {
            // The tag lies beyond the bytes given: a plain frame.
            EXPECT_EQ(result, 1) << length;
            EXPECT_EQ(info.vbrFrames, 0);
        } else if (length < needed) {
            EXPECT_EQ(result, 0) << length;
            EXPECT_EQ(MpaLastError(), kMpaErrorNotEnoughData);
        } else {
            EXPECT_EQ(result, 1) << length;
            EXPECT_EQ(info.vbrFrames, 1234);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Headers, VbrHeaderTest, testing::ValuesIn(kVbrCases),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(VbrHeaderTest, XingWithOnlyTheTableOfContentsIsRefused) {
    MpaInit();
    for (std::uint32_t flags : {4u, 8u, 12u, 0u}) {
        const std::vector<std::uint8_t> frame = VbrFrame(kVbrCases[0], flags, 417);
        MpaFrameInfo info{};
        EXPECT_EQ(MpaGetInfo(frame.data(), 417, info, MpaRemember::No), 0) << flags;
        EXPECT_EQ(MpaLastError(), kMpaErrorBadHeader);
    }
}

TEST(VbrHeaderTest, TagElsewhereIsIgnored) {
    MpaInit();
    // "Xing" right after the header of a Layer III frame sits in its side information.
    std::vector<std::uint8_t> frame(417, 0);
    const std::uint8_t header[4] = {0xFF, 0xFB, 0x90, 0x64};
    std::memcpy(frame.data(), header, 4);
    std::memcpy(frame.data() + 4, "Xing", 4);
    MpaFrameInfo info{};
    ASSERT_EQ(MpaGetInfo(frame.data(), 417, info, MpaRemember::No), 1);
    EXPECT_EQ(info.bitRate, 128000);
    EXPECT_EQ(info.vbrFrames, 0);
    EXPECT_EQ(info.vbrHeaderFrameSize, 0);
}

TEST(HeaderTest, FewerThanFourBytesAreRefused) {
    MpaInit();
    const std::vector<std::uint8_t> frame = {0xFF, 0xFB, 0x90};
    MpaFrameInfo info{};
    EXPECT_EQ(MpaGetInfo(frame.data(), 3, info, MpaRemember::No), 0);
    EXPECT_EQ(MpaLastError(), kMpaErrorNotEnoughData);
    EXPECT_EQ(MpaDecodeInit(frame.data(), 3), 0);
}

} // namespace
} // namespace fz
