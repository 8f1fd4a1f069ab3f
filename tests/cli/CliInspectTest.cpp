// framzel-cli inspect on movies the writer made: the summary, JSON, the extracted frames and
// sound (judged by libjpeg and sox) and the contact sheet; damaged and missing files.
#include "framzel/cli/ContactSheet.h"
#include "fzctrl/convert/MovieWriter.h"
#include "tests/cli/CliRunner.h"
#include "tests/convert/MovieTestSupport.h"
#include "tests/fzdsp/JpegTestDecoder.h"
#include "tests/support/IsolatedEnvironment.h"

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using namespace fz::test;

// A movie of four 176 x 144 frames 250 ms apart and 1.5 s of a 1 kHz tone at 22050 Hz.
fs::path WriteSampleMovie(const fs::path& dir) {
    std::vector<TimedImage> images;
    for (int k = 0; k < 4; ++k)
        images.push_back({k * 250, MakeJpeg(176, 144, k + 1, k == 3)});
    WriteFrameFile(dir / "f.mjpg", images);
    WriteSoundFile(dir / "s.wav", 1, 22050, Tone(1000, 1.5, 22050, 1, 6000));
    fz::ConvertParams snapshot{};
    snapshot.width = 176;
    snapshot.height = 144;
    EXPECT_TRUE(fz::WriteMovie(snapshot, dir / "movie.mp4", dir / "f.mjpg", dir / "s.wav"));
    return dir / "movie.mp4";
}

TEST(CliInspectTest, ASoundMovieIsSummarisedAndExitsWithZero) {
    const auto movie = WriteSampleMovie(FreshWorkDir("inspect-ok"));
    const auto text = RunCli({"inspect", movie.string()});
    EXPECT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("picture: 176 x 144"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("frames: 4, 375 ms each"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("sound: IMA ADPCM, 1 channel, 8000 Hz"), std::string::npos);
    EXPECT_NE(text.out.find("no faults"), std::string::npos);
    EXPECT_TRUE(text.err.empty()) << text.err;

    const auto json = RunCli({"inspect", "--json", movie.string()});
    EXPECT_EQ(json.status, 0);
    for (const char* part : {"\"ok\": true", "\"width\": 176", "\"count\": 4",
                             "\"sampleRate\": 8000", "\"faults\": []"})
        EXPECT_NE(json.out.find(part), std::string::npos) << part << "\n" << json.out;
}

TEST(CliInspectTest, ExtractWritesTheFramesAndAStandardWave) {
    const auto dir = FreshWorkDir("inspect-extract");
    const auto movie = WriteSampleMovie(dir);
    const auto result = RunCli({"inspect", movie.string(), "--extract", (dir / "out").string()});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::string frameFile = ReadFile(dir / "f.mjpg");
    std::size_t at = 0;
    for (int k = 0; k < 4; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "frame_%05d.jpg", k);
        const std::string image = ReadFile(dir / "out" / name);
        const std::uint32_t length = Le32(frameFile, at + 4);
        EXPECT_EQ(image, frameFile.substr(at + 8, length)) << name;
        const auto decoded = DecodeJpegFile((dir / "out" / name).string());
        ASSERT_TRUE(decoded) << name;
        EXPECT_EQ(decoded->width, 176);
        at += 8 + length;
    }
    // sox reads the extracted sound as plain 16-bit PCM; it is the movie's sound, so it equals
    // sox's own decoding of the embedded ADPCM. (sox decodes a short last block in groups of
    // four code bytes, so it may stop up to 7 samples before the end.)
    const std::string bytes = ReadFile(movie);
    WriteFile(dir / "embedded.wav", bytes.substr(Le32(bytes, 20)));
    const auto fromAdpcm = SoxDecode(dir / "embedded.wav");
    const auto extracted = SoxDecode(dir / "out" / "sound.wav");
    const std::uint32_t frames = Le32(bytes, Le32(bytes, 20) + 48);
    ASSERT_EQ(extracted.size(), frames);
    ASSERT_LE(fromAdpcm.size(), frames);
    ASSERT_GE(fromAdpcm.size() + 7, frames);
    EXPECT_EQ(std::vector<std::int16_t>(extracted.begin(),
                                        extracted.begin() + static_cast<long>(fromAdpcm.size())),
              fromAdpcm);
    EXPECT_GT(RelativePower(extracted, 8000, 1000), 0.9);
}

TEST(CliInspectTest, ContactSheetShowsEveryFrameWithItsTime) {
    const auto dir = FreshWorkDir("inspect-sheet");
    const auto movie = WriteSampleMovie(dir);
    const auto result =
        RunCli({"inspect", movie.string(), "--sheet", (dir / "sheet.jpg").string()});
    ASSERT_EQ(result.status, 0) << result.err;
    const auto sheet = DecodeJpegFile((dir / "sheet.jpg").string());
    ASSERT_TRUE(sheet);
    // Four thumbnails of 160 x 130 side by side, each with a label row under it.
    EXPECT_EQ(sheet->width, 6 + 4 * (160 + 6));
    const int thumbnailHeight = 160 * 144 / 176;
    EXPECT_EQ(sheet->height, 6 + thumbnailHeight + 20 + 6);
    auto pixel = [&](int x, int y) {
        return sheet->rgb[(static_cast<std::size_t>(y) * sheet->width + x) * 3];
    };
    for (int k = 0; k < 4; ++k) {
        const int x0 = 6 + k * 166;
        int bright = 0;
        for (int y = 6 + thumbnailHeight + 3; y < 6 + thumbnailHeight + 17; ++y)
            for (int x = x0; x < x0 + 80; ++x)
                bright += pixel(x, y) > 160 ? 1 : 0;
        EXPECT_GT(bright, 40) << "label of thumbnail " << k;
        int lo = 255, hi = 0;
        for (int x = x0; x < x0 + 160; x += 7) {
            lo = std::min<int>(lo, pixel(x, 6 + thumbnailHeight / 2));
            hi = std::max<int>(hi, pixel(x, 6 + thumbnailHeight / 2));
        }
        EXPECT_GT(hi - lo, 20) << "thumbnail " << k << " shows a picture";
    }
}

TEST(CliInspectTest, SheetTimeLabels) {
    const std::vector<std::pair<std::uint64_t, std::string>> cases = {
        {0, "0:00.0"}, {250, "0:00.2"}, {61234, "1:01.2"}, {3600000, "60:00.0"}};
    for (const auto& [ms, label] : cases)
        EXPECT_EQ(fz::cli::SheetTimeLabel(ms), label);
}

TEST(CliInspectTest, DamagedAndMissingMoviesExitWithOne) {
    const auto dir = FreshWorkDir("inspect-bad");
    const auto movie = WriteSampleMovie(dir);
    std::string cut = ReadFile(movie);
    cut.resize(cut.size() / 2);
    WriteFile(dir / "cut.mp4", cut);
    const auto damaged = RunCli({"inspect", (dir / "cut.mp4").string()});
    EXPECT_EQ(damaged.status, 1);
    EXPECT_NE(damaged.out.find("fault: "), std::string::npos) << damaged.out;

    const auto missing = RunCli({"inspect", (dir / "nothing.mp4").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("no such file"), std::string::npos) << missing.err;
    const auto folder = RunCli({"inspect", dir.string()});
    EXPECT_EQ(folder.status, 1);
    EXPECT_NE(folder.err.find("not a file"), std::string::npos) << folder.err;
    EXPECT_TRUE(folder.out.empty());
}

} // namespace
