// The movie inspector on movies the writer made, sound and damaged: a sound movie has no
// fault, and each kind of damage is named; the decoded sound equals what sox decodes.
#include "fzctrl/convert/MovieInspector.h"
#include "fzctrl/convert/MovieWriter.h"
#include "tests/convert/MovieTestSupport.h"
#include "tests/support/IsolatedEnvironment.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace fz::test;

std::span<const std::uint8_t> Bytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// A movie of three real 176 x 144 frames and 1 s of a 1 kHz tone at 11025 Hz.
std::string SmallMovie(const fs::path& dir) {
    WriteFrameFile(dir / "f.mjpg", {{0, MakeJpeg(176, 144, 1)},
                                    {200, MakeJpeg(176, 144, 2, /*library=*/true)},
                                    {400, MakeJpeg(176, 144, 3)}});
    WriteSoundFile(dir / "s.wav", 1, 11025, Tone(1000, 1.0, 11025, 1, 6000));
    fz::ConvertParams snapshot{};
    snapshot.width = 176;
    snapshot.height = 144;
    EXPECT_TRUE(fz::WriteMovie(snapshot, dir / "m.mp4", dir / "f.mjpg", dir / "s.wav"));
    return ReadFile(dir / "m.mp4");
}

void Put32(std::string& s, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        s[offset + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
}

TEST(MovieInspectorTest, AMovieOfTheWriterIsSoundAndDescribed) {
    const auto dir = FreshWorkDir("inspect");
    const std::string movie = SmallMovie(dir);
    const fz::MovieInspection r = fz::InspectMovie(Bytes(movie));
    for (const auto& fault : r.faults)
        ADD_FAILURE() << fault;
    EXPECT_EQ(r.width, 176u);
    EXPECT_EQ(r.height, 144u);
    ASSERT_EQ(r.frames.size(), 3u);
    EXPECT_EQ(r.frames[1].timeStampMs, 200u);
    EXPECT_EQ(r.frames[1].width, 176);
    EXPECT_EQ(r.frames[2].height, 144);
    EXPECT_EQ(r.frameDurationMs, 1000u / 3);
    EXPECT_EQ(r.channels, 1u);
    EXPECT_EQ(r.sampleRate, 8000u);
    EXPECT_NEAR(static_cast<double>(r.SoundDurationMs()), 10.0 * 1024 * 1000 / 11025, 1.0);

    // Our decoding of the sound agrees sample for sample with sox's.
    WriteFile(dir / "sound.wav", movie.substr(Le32(movie, 20)));
    const auto sox = SoxDecode(dir / "sound.wav");
    const auto ours =
        fz::DecodeMovieSound(Bytes(movie).subspan(r.adpcmOffset, r.adpcmSize), r.soundFrames);
    ASSERT_EQ(ours.size(), r.soundFrames);
    // sox decodes a short last block in groups of four code bytes: it may stop up to 7 samples
    // early.
    ASSERT_GE(sox.size() + 7, ours.size());
    const auto common = static_cast<long>(std::min(sox.size(), ours.size()));
    EXPECT_EQ(std::vector<std::int16_t>(sox.begin(), sox.begin() + common),
              std::vector<std::int16_t>(ours.begin(), ours.begin() + common));
}

TEST(MovieInspectorTest, EachDamageIsNamed) {
    const std::string good = SmallMovie(FreshWorkDir("inspect-damage"));
    const std::uint32_t v = Le32(good, 16);
    const std::size_t wave = 176 + v;
    struct Case {
        const char* name;
        std::function<void(std::string&)> damage;
        const char* fault; // a part of the expected text
    };
    const std::vector<Case> cases = {
        {"magic", [](std::string& m) { m[2] = '5'; }, "does not start with \"MP4\""},
        {"cut inside the headers", [](std::string& m) { m.resize(100); }, "less than a movie's"},
        {"cut inside the frames", [v](std::string& m) { m.resize(164 + v / 2); }, "runs past"},
        {"cut inside the sound", [](std::string& m) { m.resize(m.size() - 10); }, "file size - 8"},
        {"trailing bytes", [](std::string& m) { m += "xyz"; }, "does not reach the end"},
        {"video size not a multiple of 4", [](std::string& m) { Put32(m, 16, Le32(m, 16) + 2); },
         "not a multiple of 4"},
        {"video size past the end", [](std::string& m) { Put32(m, 16, 0xFFFFFFF0u); },
         "runs past the end"},
        {"frame count", [](std::string& m) { Put32(m, 64, 4); }, "the header counts 4 frames"},
        {"largest frame too small", [](std::string& m) { Put32(m, 52, 100); },
         "largest-frame field"},
        {"picture size", [](std::string& m) { Put32(m, 80, 320); }, "the header says 320 x 144"},
        {"record length huge", [](std::string& m) { Put32(m, 168, 0x7FFFFFFF); }, "frame record 0"},
        {"record length below a JPEG's", [](std::string& m) { Put32(m, 168, 3); },
         "frame record 0"},
        {"image length copy", [](std::string& m) { m[164 + 8 + 14] ^= 1; },
         "does not repeat its length"},
        {"image end marker", [](std::string& m) { m[164 + 8 + Le32(m, 168) - 1] = 0; },
         "from FF D8 to FF D9"},
        {"time stamps go back", [](std::string& m) { Put32(m, 164, 5000); },
         "before the previous one"},
        {"video DATA tag", [](std::string& m) { m[152] = 'X'; }, "no \"DATA\" at offset 152"},
        {"audio DATA field", [v](std::string& m) { Put32(m, 168 + v, 7); }, "audio DATA"},
        {"audio section offset", [](std::string& m) { Put32(m, 20, 8); }, "audio section offset"},
        {"WAVE format tag", [wave](std::string& m) { m[wave + 20] = 1; }, "WAVE format tag"},
        {"two channels", [wave](std::string& m) { m[wave + 22] = 2; }, "2 channels"},
        {"block count", [wave](std::string& m) { Put32(m, wave + 48, Le32(m, wave + 48) + 505); },
         "samples need"},
        {"data size", [wave](std::string& m) { Put32(m, wave + 56, Le32(m, wave + 56) + 256); },
         "WAVE RIFF size"},
        {"bytes per second", [](std::string& m) { Put32(m, 124, 3845); }, "bytes per second"},
    };
    for (const Case& c : cases) {
        std::string damaged = good;
        c.damage(damaged);
        const auto r = fz::InspectMovie(Bytes(damaged));
        std::string all;
        for (const auto& fault : r.faults)
            all += fault + "\n";
        EXPECT_FALSE(r.IsSound()) << c.name;
        EXPECT_NE(all.find(c.fault), std::string::npos) << c.name << ":\n" << all;
    }
}

TEST(MovieInspectorTest, JpegSizeReaderStaysInsideTheImage) {
    const auto jpeg = MakeJpeg(176, 144, 9, /*library=*/true);
    int w = 0, h = 0;
    ASSERT_TRUE(fz::ReadJpegSize(jpeg, w, h));
    EXPECT_EQ(w, 176);
    EXPECT_EQ(h, 144);
    // Every prefix in an exact-size buffer: found only once the frame header is complete.
    for (std::size_t n = 0; n < 700 && n < jpeg.size(); ++n) {
        std::vector<std::uint8_t> prefix(jpeg.begin(), jpeg.begin() + static_cast<long>(n));
        fz::ReadJpegSize(prefix, w, h);
    }
}

} // namespace
