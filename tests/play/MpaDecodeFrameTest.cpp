// MpaDecodeInit and MpaDecodeFrame: the job's fields, the refusals, and that nothing is written
// when a frame is refused.
#include "fzctrl/play/mpa/MpaDecoder.h"
#include "tests/play/support/MpaFrameBuilder.h"
#include "tests/play/support/MpaOracle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace fz {
namespace {

using test::mpa::BuildRandomStream;
using test::mpa::FrameParams;
using test::mpa::Stream;

constexpr std::int16_t kSentinel = 0x5A5A;

// 44.1 kHz Layer II stereo at 192 kbit/s: 626-byte frames, 4608 PCM bytes.
FrameParams Layer2Stereo() {
    FrameParams p;
    p.layer = 2;
    p.bitRateIndex = 10;
    return p;
}

bool Untouched(const std::vector<std::int16_t>& pcm) {
    return std::all_of(pcm.begin(), pcm.end(), [](std::int16_t v) { return v == kSentinel; });
}

TEST(MpaDecodeFrameTest, FillsTheJobAndWritesOneFrameOfPcm) {
    const Stream stream = BuildRandomStream(Layer2Stereo(), 3, 7);
    ASSERT_EQ(stream.frames.size(), 3u);
    MpaInit();
    ASSERT_EQ(MpaDecodeInit(stream.bytes.data(), static_cast<int>(stream.bytes.size())), 1);
    // One spare frame's worth behind the output area shows that no more is written.
    std::vector<std::int16_t> pcm(2 * 2304, kSentinel);
    MpaDecodeJob job{};
    job.frame = stream.bytes.data();
    job.bytesAvailable = static_cast<int>(stream.bytes.size());
    job.pcm = pcm.data();
    ASSERT_EQ(MpaDecodeFrame(job), 1);
    EXPECT_EQ(job.header.version, 1);
    EXPECT_EQ(job.header.layer, 2);
    EXPECT_EQ(job.header.bitRateIndex, 10);
    EXPECT_EQ(job.bitRate, 192000);
    EXPECT_EQ(job.bytesAvailable, 626);
    EXPECT_EQ(job.pcmBytesWritten, 4608);
    EXPECT_FALSE(std::all_of(pcm.begin(), pcm.begin() + 2304,
                             [](std::int16_t v) { return v == kSentinel; }));
    EXPECT_TRUE(
        std::all_of(pcm.begin() + 2304, pcm.end(), [](std::int16_t v) { return v == kSentinel; }));
}

TEST(MpaDecodeFrameTest, ShortInputIsRefusedWithoutWriting) {
    const Stream stream = BuildRandomStream(Layer2Stereo(), 1, 8);
    MpaInit();
    ASSERT_EQ(MpaDecodeInit(stream.bytes.data(), static_cast<int>(stream.bytes.size())), 1);
    for (int available : {0, 4, 5, 100, 625}) {
        // An exactly sized copy, so that any read past it is reported.
        const std::vector<std::uint8_t> bytes(stream.bytes.begin(),
                                              stream.bytes.begin() + std::max(available, 1));
        std::vector<std::int16_t> pcm(2304, kSentinel);
        MpaDecodeJob job{};
        job.frame = bytes.data();
        job.bytesAvailable = available;
        job.pcm = pcm.data();
        EXPECT_EQ(MpaDecodeFrame(job), 0) << available;
        EXPECT_EQ(MpaLastError(), kMpaErrorNotEnoughData);
        EXPECT_TRUE(Untouched(pcm)) << available;
    }
}

TEST(MpaDecodeFrameTest, BadHeaderIsRefusedWithoutWriting) {
    const Stream stream = BuildRandomStream(Layer2Stereo(), 1, 9);
    MpaInit();
    ASSERT_EQ(MpaDecodeInit(stream.bytes.data(), static_cast<int>(stream.bytes.size())), 1);
    const struct {
        std::uint8_t b0, b1, b2;
        int error;
    } cases[] = {{0x00, 0xFD, 0xA0, kMpaErrorNoSync},
                 {0xFF, 0xFD, 0x00, kMpaErrorBadHeader},
                 {0xFF, 0xFD, 0xF0, kMpaErrorBadHeader},
                 {0xFF, 0xFD, 0xAC, kMpaErrorBadHeader}};
    for (const auto& c : cases) {
        std::vector<std::uint8_t> bytes = stream.bytes;
        bytes[0] = c.b0;
        bytes[1] = c.b1;
        bytes[2] = c.b2;
        std::vector<std::int16_t> pcm(2304, kSentinel);
        MpaDecodeJob job{};
        job.frame = bytes.data();
        job.bytesAvailable = static_cast<int>(bytes.size());
        job.pcm = pcm.data();
        EXPECT_EQ(MpaDecodeFrame(job), 0);
        EXPECT_EQ(MpaLastError(), c.error);
        EXPECT_TRUE(Untouched(pcm));
    }
}

TEST(MpaDecodeFrameTest, FrameThatDoesNotFitThePreparedStreamIsRefused) {
    // A mono stream's buffer holds 2304 bytes; a stereo frame would need 4608, a Layer I frame
    // is of another layer.
    FrameParams mono = Layer2Stereo();
    mono.mode = 3;
    const Stream monoStream = BuildRandomStream(mono, 1, 10);
    FrameParams layer1;
    layer1.mode = 3;
    const Stream stereoStream = BuildRandomStream(Layer2Stereo(), 1, 11);
    const Stream layer1Stream = BuildRandomStream(layer1, 1, 12);
    MpaInit();
    ASSERT_EQ(MpaDecodeInit(monoStream.bytes.data(), static_cast<int>(monoStream.bytes.size())), 1);
    for (const Stream* other : {&stereoStream, &layer1Stream}) {
        std::vector<std::int16_t> pcm(1152, kSentinel);
        MpaDecodeJob job{};
        job.frame = other->bytes.data();
        job.bytesAvailable = static_cast<int>(other->bytes.size());
        job.pcm = pcm.data();
        EXPECT_EQ(MpaDecodeFrame(job), 0);
        EXPECT_EQ(MpaLastError(), kMpaErrorBadHeader);
        EXPECT_TRUE(Untouched(pcm));
    }
}

TEST(MpaDecodeFrameTest, FrameSizeFollowsTheRememberedRate) {
    // A 48 kHz frame remembered in between makes the 44.1 kHz frames of the stream 576 bytes
    // (192 kbit/s at 48 kHz) instead of 626.
    const Stream stream = BuildRandomStream(Layer2Stereo(), 2, 13);
    FrameParams at48 = Layer2Stereo();
    at48.sampleRateIndex = 1;
    const Stream other = BuildRandomStream(at48, 1, 14);
    MpaInit();
    ASSERT_EQ(MpaDecodeInit(stream.bytes.data(), static_cast<int>(stream.bytes.size())), 1);
    MpaFrameInfo info{};
    ASSERT_EQ(MpaGetInfo(other.bytes.data(), static_cast<int>(other.bytes.size()), info,
                         MpaRemember::Yes),
              1);
    std::vector<std::int16_t> pcm(2304);
    MpaDecodeJob job{};
    job.frame = stream.bytes.data();
    job.bytesAvailable = static_cast<int>(stream.bytes.size());
    job.pcm = pcm.data();
    ASSERT_EQ(MpaDecodeFrame(job), 1);
    EXPECT_EQ(job.bytesAvailable, 576);
}

TEST(MpaDecodeFrameTest, PaddedFramesUseTheirPaddingSlot) {
    // 44.1 kHz frames alternate between 417 and 418 bytes (Layer II, 128 kbit/s) and, in Layer
    // I, between 136 and 140 bytes at 128 kbit/s (4-byte slots).
    for (int layer : {1, 2}) {
        test::mpa::Pcm pcm = test::mpa::MakeSignal(test::mpa::Signal::Tones, 44100, 2, 0.3);
        test::mpa::Stream stream;
        if (layer == 2) {
            stream = test::mpa::Encode(pcm, {test::mpa::Encoder::Mp2, 128});
        } else {
            FrameParams p;
            p.bitRateIndex = 4;
            std::mt19937 random(5);
            std::vector<std::uint8_t> bytes;
            for (int i = 0; i < 8; ++i) {
                std::vector<std::uint8_t> frame = test::mpa::BuildRandomFrame(p, random);
                if (i % 2) {
                    frame[2] |= 0x02;
                    frame.resize(frame.size() + 4, 0);
                }
                bytes.insert(bytes.end(), frame.begin(), frame.end());
            }
            stream = test::mpa::MakeStream(bytes);
        }
        ASSERT_GT(stream.frames.size(), 4u);
        int mismatches = -1;
        const test::mpa::Decoded decoded = test::mpa::DecodeWithFramzel(stream, &mismatches);
        EXPECT_EQ(decoded.failedFrames, 0) << layer;
        EXPECT_EQ(mismatches, 0) << layer;
        bool sawPadding = false;
        for (const auto& span : stream.frames)
            sawPadding |= (stream.bytes[span.offset + 2] & 0x02) != 0;
        EXPECT_TRUE(sawPadding) << layer;
    }
}

TEST(MpaDecodeFrameTest, EmptyFramesDecodeToExactSilence) {
    // Every allocation 0: the synthesis of zeros is zero, bit for bit, for Layers I and II.
    for (int layer : {1, 2}) {
        FrameParams p = Layer2Stereo();
        p.layer = layer;
        std::vector<std::uint8_t> frame = test::mpa::HeaderBytes(p);
        frame.resize(layer == 1 ? 12 * 320000 / 44100 * 4 : 626, 0);
        MpaInit();
        ASSERT_EQ(MpaDecodeInit(frame.data(), static_cast<int>(frame.size())), 1);
        std::vector<std::int16_t> pcm(2304, kSentinel);
        for (int i = 0; i < 3; ++i) {
            MpaDecodeJob job{};
            job.frame = frame.data();
            job.bytesAvailable = static_cast<int>(frame.size());
            job.pcm = pcm.data();
            ASSERT_EQ(MpaDecodeFrame(job), 1);
            const std::size_t count = static_cast<std::size_t>(job.pcmBytesWritten) / 2;
            EXPECT_TRUE(std::all_of(pcm.begin(), pcm.begin() + static_cast<std::ptrdiff_t>(count),
                                    [](std::int16_t v) { return v == 0; }));
        }
    }
}

TEST(MpaDecodeFrameTest, DamagedFramesNeverReadPastTheirBytes) {
    // Random bytes behind valid headers of every layer and version, given exactly the computed
    // frame size; AddressSanitizer reports any read beyond.
    std::mt19937 random(99);
    const std::uint8_t headers[][4] = {{0xFF, 0xFF, 0xE0, 0x00}, {0xFF, 0xFD, 0xE4, 0x40},
                                       {0xFF, 0xFC, 0x14, 0x7C}, {0xFF, 0xF5, 0x18, 0x20},
                                       {0xFF, 0xE5, 0x18, 0xC0}, {0xFF, 0xE7, 0x18, 0x70}};
    for (const auto& h : headers) {
        MpaInit();
        std::vector<std::uint8_t> probe(h, h + 4);
        probe.resize(64, 0);
        MpaFrameInfo info{};
        ASSERT_EQ(MpaGetInfo(probe.data(), 64, info, MpaRemember::No), 1);
        ASSERT_EQ(MpaDecodeInit(probe.data(), 64), 1);
        std::vector<std::int16_t> pcm(static_cast<std::size_t>(info.pcmBytesPerFrame) / 2);
        for (int i = 0; i < 20; ++i) {
            std::vector<std::uint8_t> frame(static_cast<std::size_t>(info.smallFrameSize));
            for (auto& b : frame)
                b = static_cast<std::uint8_t>(random());
            std::copy(h, h + 4, frame.begin());
            MpaDecodeJob job{};
            job.frame = frame.data();
            job.bytesAvailable = static_cast<int>(frame.size());
            job.pcm = pcm.data();
            EXPECT_EQ(MpaDecodeFrame(job), 1);
        }
    }
}

} // namespace
} // namespace fz
