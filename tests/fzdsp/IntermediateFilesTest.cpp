#include "fzdsp/formats/FrameRecord.h"
#include "fzdsp/formats/SoundFileHeader.h"
#include "tests/support/IsolatedEnvironment.h"

#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace {

using fz::test::FreshWorkDir;
using fz::test::ReadFile;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

std::uint32_t Le32At(const std::string& bytes, std::size_t offset) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<std::uint8_t>(bytes[offset + static_cast<std::size_t>(i)]);
    return v;
}

std::uint16_t Le16At(const std::string& bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes[offset]) |
                                      static_cast<std::uint8_t>(bytes[offset + 1]) << 8);
}

// A stand-in for an encoder's JPEG image of `size` bytes: SOI, filler, EOI.
std::vector<std::uint8_t> Image(std::size_t size, std::uint8_t fill) {
    std::vector<std::uint8_t> image(size, fill);
    image[0] = 0xFF;
    image[1] = 0xD8;
    image[size - 2] = 0xFF;
    image[size - 1] = 0xD9;
    return image;
}

TEST(FrameRecordTest, ThreePicturesMakeTheExpectedFrameFile) {
    // Pictures of 4 000, 4 100 and 3 996 bytes at 0.0, 0.2 and 0.4 s (100-ns units).
    const std::int64_t starts[] = {0, 2000000, 4000000};
    const std::size_t sizes[] = {4000, 4100, 3996};
    const auto path = FreshWorkDir("frames") / "base.mjpg";
    std::vector<std::vector<std::uint8_t>> images;
    {
        File file(std::fopen(path.c_str(), "wb"));
        ASSERT_TRUE(file);
        for (int k = 0; k < 3; ++k) {
            images.push_back(Image(sizes[k], static_cast<std::uint8_t>(0x10 + k)));
            ASSERT_TRUE(fz::AppendFrameRecord(
                file.get(), fz::FrameTimeStampMs(starts[k], starts[0]), images.back()));
            EXPECT_EQ(images.back()[14], 0x10 + k) << "the caller's image is not changed";
        }
    }
    const std::string bytes = ReadFile(path);
    ASSERT_EQ(bytes.size(), 12120u);

    fz::FrameRecordReader reader(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    const std::size_t offsets[] = {0, 4008, 8116};
    const std::int32_t stamps[] = {0, 200, 400};
    for (int k = 0; k < 3; ++k) {
        auto record = reader.Next();
        ASSERT_TRUE(record) << k;
        EXPECT_EQ(record->offset, offsets[k]);
        EXPECT_EQ(record->timeStampMs, stamps[k]);
        ASSERT_EQ(record->image.size(), sizes[k]);
        EXPECT_EQ(Le32At(bytes, offsets[k] + 4), sizes[k]);
        EXPECT_EQ(Le32At(bytes, offsets[k] + 8 + 14), sizes[k]) << "bytes 14..17 repeat L";
        // Everything else is the image as given.
        std::vector<std::uint8_t> expected = images[static_cast<std::size_t>(k)];
        std::memcpy(expected.data() + 14, bytes.data() + offsets[k] + 8 + 14, 4);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), record->image.begin()));
    }
    EXPECT_FALSE(reader.Next());
    EXPECT_FALSE(reader.IsDamaged());
    EXPECT_EQ(reader.Position(), bytes.size());
}

TEST(FrameRecordTest, TimeStampsAndRefusedImages) {
    EXPECT_EQ(fz::FrameTimeStampMs(4000000, 0), 400);
    EXPECT_EQ(fz::FrameTimeStampMs(12349999, 10000000), 234) << "truncated to whole ms";
    EXPECT_EQ(fz::FrameTimeStampMs(5000000, 5000000), 0);

    const auto path = FreshWorkDir("short") / "f.mjpg";
    File file(std::fopen(path.c_str(), "wb"));
    ASSERT_TRUE(file);
    EXPECT_FALSE(fz::AppendFrameRecord(file.get(), 0, Image(17, 0)))
        << "no room for the repeated length";
    EXPECT_FALSE(fz::AppendFrameRecord(nullptr, 0, Image(100, 0)));
    EXPECT_TRUE(fz::AppendFrameRecord(file.get(), 0, Image(18, 0)));
    file.reset();
    EXPECT_EQ(ReadFile(path).size(), 26u);
}

TEST(FrameRecordTest, ReaderStopsAtDamageAndKeepsTheRecordsBefore) {
    std::vector<std::uint8_t> bytes;
    auto append = [&](std::int32_t stamp, std::int32_t length, std::size_t bodyBytes) {
        std::uint8_t header[8];
        fz::EncodeFrameRecordHeader({stamp, length}, std::span<std::uint8_t, 8>(header));
        bytes.insert(bytes.end(), header, header + 8);
        bytes.insert(bytes.end(), bodyBytes, 0xAB);
    };
    struct Case {
        const char* what;
        std::int32_t length;
        std::size_t bodyBytes;
    };
    for (const Case& c : {Case{"length past the end", 100, 99}, Case{"negative length", -8, 0},
                          Case{"header cut short", 0, 0}, Case{"empty image", 0, 0},
                          Case{"image without room for the repeated length", 17, 17}}) {
        bytes.clear();
        append(0, 20, 20);
        append(40, c.length, c.bodyBytes);
        if (std::string(c.what) == "header cut short")
            bytes.resize(bytes.size() - 3);
        fz::FrameRecordReader reader(bytes);
        auto first = reader.Next();
        ASSERT_TRUE(first) << c.what;
        EXPECT_EQ(first->image.size(), 20u);
        EXPECT_FALSE(reader.Next()) << c.what;
        EXPECT_TRUE(reader.IsDamaged()) << c.what;
        EXPECT_EQ(reader.Position(), 28u) << c.what;
    }
    fz::FrameRecordReader empty({});
    EXPECT_FALSE(empty.Next());
    EXPECT_FALSE(empty.IsDamaged());

    bytes.clear();
    append(0, 18, 18);
    fz::FrameRecordReader shortest(bytes);
    ASSERT_TRUE(shortest.Next()) << "18 bytes hold the repeated length";
    EXPECT_FALSE(shortest.Next());
    EXPECT_FALSE(shortest.IsDamaged());
}

TEST(SoundFileHeaderTest, OneSecondOfStereoAt22050Hz) {
    const auto path = FreshWorkDir("sound") / "base.wav";
    {
        File file(std::fopen(path.c_str(), "w+b"));
        ASSERT_TRUE(file);
        ASSERT_TRUE(fz::WriteOpenSoundFileHeader(file.get()));
        const std::vector<std::int16_t> second(22050 * 2, 0x1234);
        ASSERT_EQ(std::fwrite(second.data(), 2, second.size(), file.get()), second.size());
        ASSERT_TRUE(fz::FinishSoundFile(file.get(), 2, 22050));
    }
    const std::string bytes = ReadFile(path);
    ASSERT_EQ(bytes.size(), 88244u);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(Le32At(bytes, 4), 88236u);
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(Le32At(bytes, 16), 16u);
    EXPECT_EQ(Le16At(bytes, 20), 1u);
    EXPECT_EQ(Le16At(bytes, 22), 2u);
    EXPECT_EQ(Le32At(bytes, 24), 22050u);
    EXPECT_EQ(Le32At(bytes, 28), 88200u);
    EXPECT_EQ(Le16At(bytes, 32), 4u);
    EXPECT_EQ(Le16At(bytes, 34), 16u);
    EXPECT_EQ(bytes.substr(36, 4), "data");
    EXPECT_EQ(Le32At(bytes, 40), 88200u);
    EXPECT_EQ(Le16At(bytes, 44), 0x1234u);

    const auto header = fz::SoundFileHeader::Decode(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    ASSERT_TRUE(header);
    EXPECT_EQ(header->channels, 2);
    EXPECT_EQ(header->sampleRate, 22050u);
    EXPECT_EQ(header->riffSize, 88236u);
    EXPECT_EQ(header->dataSize, 88200u);
    EXPECT_EQ(header->BytesPerSecond(), 88200u);
}

TEST(SoundFileHeaderTest, ANeverFinishedFileKeepsZeros) {
    const auto path = FreshWorkDir("open") / "base.wav";
    {
        File file(std::fopen(path.c_str(), "wb"));
        ASSERT_TRUE(file);
        ASSERT_TRUE(fz::WriteOpenSoundFileHeader(file.get()));
        const std::int16_t samples[4] = {1, 2, 3, 4};
        std::fwrite(samples, 2, 4, file.get());
    }
    const std::string bytes = ReadFile(path);
    ASSERT_EQ(bytes.size(), 52u);
    for (std::size_t offset : {4u, 24u, 28u, 40u})
        EXPECT_EQ(Le32At(bytes, offset), 0u) << offset;
    for (std::size_t offset : {22u, 32u})
        EXPECT_EQ(Le16At(bytes, offset), 0u) << offset;
    EXPECT_EQ(Le16At(bytes, 34), 16u);

    fz::SoundFileHeader header;
    header.SetFileLength(0);
    EXPECT_EQ(header.riffSize, 0u);
    EXPECT_EQ(header.dataSize, 0u);
    header.SetFileLength(std::int64_t{5} << 32);
    EXPECT_EQ(header.dataSize, 0xFFFFFFFFu) << "sizes beyond 32 bits saturate, never wrap";

    std::string broken = bytes;
    broken[36] = 'D';
    EXPECT_FALSE(fz::SoundFileHeader::Decode(
        std::span(reinterpret_cast<const std::uint8_t*>(broken.data()), broken.size())));
    EXPECT_FALSE(fz::SoundFileHeader::Decode(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), 43)));
}

} // namespace
