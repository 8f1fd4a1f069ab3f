#include "tests/convert/MovieTestSupport.h"

#include "fzdsp/formats/FrameRecord.h"
#include "fzdsp/formats/SoundFileHeader.h"
#include "fzdsp/jpeg/Yuv422JpegEncoder.h"
#include "fzdsp/jpeglib/LibraryJpegWriter.h"
#include "tests/fzdsp/JpegTestDecoder.h"
#include "tests/support/IsolatedEnvironment.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <numbers>

namespace fz::test {

std::vector<std::uint8_t> MakeJpeg(int width, int height, int seed, bool library) {
    std::vector<std::uint8_t> picture = SmoothPicture(width, height);
    for (std::size_t i = 0; i < picture.size(); ++i)
        picture[i] = static_cast<std::uint8_t>(picture[i] + seed * 37 + static_cast<int>(i % 7));
    const auto path = WorkDir() / ("frame-" + std::to_string(seed) + ".jpg");
    const bool written = library
                             ? WriteLibraryJpeg(path.string(), width, height, picture.data(), 80)
                             : EncodeYuv422Jpeg(path.string(), width, height, picture.data(), 80);
    EXPECT_TRUE(written);
    const std::string bytes = ReadFile(path);
    std::filesystem::remove(path);
    return {bytes.begin(), bytes.end()};
}

std::vector<std::uint8_t> FakeImage(std::size_t size, std::uint8_t fill) {
    std::vector<std::uint8_t> image(size, fill);
    image[0] = 0xFF;
    image[1] = 0xD8;
    image[size - 2] = 0xFF;
    image[size - 1] = 0xD9;
    return image;
}

void WriteFrameFile(const std::filesystem::path& path, const std::vector<TimedImage>& images) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    for (const TimedImage& timed : images)
        EXPECT_TRUE(AppendFrameRecord(file, timed.timeStampMs, timed.image));
    std::fclose(file);
}

std::string RawRecord(std::int32_t timeStampMs, std::uint32_t length, const std::string& body) {
    std::string out(8, '\0');
    for (int i = 0; i < 4; ++i) {
        out[static_cast<std::size_t>(i)] =
            static_cast<char>(static_cast<std::uint32_t>(timeStampMs) >> (8 * i));
        out[static_cast<std::size_t>(4 + i)] = static_cast<char>(length >> (8 * i));
    }
    return out + body;
}

void WriteSoundFile(const std::filesystem::path& path, int channels, int sampleRate,
                    const std::vector<std::int16_t>& samples) {
    SoundFileHeader header;
    header.channels = static_cast<std::uint16_t>(channels);
    header.sampleRate = static_cast<std::uint32_t>(sampleRate);
    header.SetFileLength(static_cast<std::int64_t>(kSoundFileHeaderSize + samples.size() * 2));
    const auto head = header.Encode();
    std::string bytes(head.begin(), head.end());
    for (std::int16_t s : samples) {
        bytes.push_back(static_cast<char>(s & 0xFF));
        bytes.push_back(static_cast<char>((s >> 8) & 0xFF));
    }
    WriteFile(path, bytes);
}

std::vector<std::int16_t> Tone(double frequency, double seconds, int sampleRate, int channels,
                               double amplitude) {
    const auto frames = static_cast<std::size_t>(seconds * sampleRate);
    std::vector<std::int16_t> out;
    out.reserve(frames * static_cast<std::size_t>(channels));
    for (std::size_t n = 0; n < frames; ++n) {
        const double v = amplitude * std::sin(2 * std::numbers::pi * frequency *
                                              static_cast<double>(n) / sampleRate);
        for (int c = 0; c < channels; ++c)
            out.push_back(static_cast<std::int16_t>(std::lround(v)));
    }
    return out;
}

std::uint32_t Le32(const std::string& bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(Le16(bytes, offset)) |
           static_cast<std::uint32_t>(Le16(bytes, offset + 2)) << 16;
}

std::uint16_t Le16(const std::string& bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(bytes.at(offset)) |
                                      static_cast<std::uint8_t>(bytes.at(offset + 1)) << 8);
}

std::vector<std::int16_t> SoxDecode(const std::filesystem::path& wave) {
    const auto raw = std::filesystem::path(wave.string() + ".raw");
    const std::string command = "sox -V1 '" + wave.string() +
                                "' -t raw -e signed-integer -b 16 -L -c 1 '" + raw.string() + "'";
    if (std::system(command.c_str()) != 0)
        return {};
    const std::string bytes = ReadFile(raw);
    std::vector<std::int16_t> samples(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(Le16(bytes, 2 * i));
    return samples;
}

double RelativePower(const std::vector<std::int16_t>& samples, int sampleRate, double frequency) {
    if (samples.empty())
        return 0.0;
    const double w = 2 * std::numbers::pi * frequency / sampleRate;
    const double coefficient = 2 * std::cos(w);
    double s1 = 0, s2 = 0, total = 0;
    for (std::int16_t sample : samples) {
        const double s0 = sample + coefficient * s1 - s2;
        s2 = s1;
        s1 = s0;
        total += static_cast<double>(sample) * sample;
    }
    const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    // A pure sine of N samples gives power N^2 A^2 / 4 and total N A^2 / 2.
    return total == 0 ? 0.0 : power * 2.0 / (static_cast<double>(samples.size()) * total);
}

std::vector<std::string> FolderEntries(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace fz::test
