#include "fzctrl/play/MovieFormatProbe.h"
#include "fzctrl/play/MovieFileKind.h"
#include "platform/log/Diagnostics.h"
#include "platform/ui/MessageBox.h"
#include "tests/support/IsolatedEnvironment.h"
#include "tests/support/fixtures/AviFixture.h"
#include "tests/support/fixtures/JpegFixture.h"
#include "tests/support/fixtures/MovieFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace fz {
namespace {

using test::Bytes;

std::string Write(const std::string& name, const Bytes& bytes) {
    const auto path = test::WorkDir() / name;
    test::WriteBytes(path, bytes);
    return path.string();
}

test::KqffAdpcmMovie AdpcmMovie() {
    test::KqffAdpcmMovie movie;
    movie.width = 176;
    movie.height = 144;
    movie.channels = 2;
    movie.sampleRate = 22050;
    movie.adpcm = test::NoiseBytes(400);
    movie.frames = {test::MakeJpeg(16, 16, test::FrameColour(0))};
    return movie;
}

// An MP3-kind movie whose first record is a bare MPEG header with the given bytes 1..3.
test::KqffMp3Movie Mp3Movie(std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
    test::KqffMp3Movie movie;
    movie.width = 320;
    movie.height = 240;
    Bytes frame(200, 0);
    frame[0] = 0xFF;
    frame[1] = b1;
    frame[2] = b2;
    frame[3] = b3;
    movie.records = {{1, frame}};
    return movie;
}

test::YhavMovie Yhav() {
    test::YhavMovie movie;
    movie.channels = 1;
    movie.sampleRate = 11025;
    movie.seconds = 2;
    movie.adpcm = test::NoiseBytes(300);
    movie.frames = {test::MakeJpeg(72, 40, test::FrameColour(1)),
                    test::MakeJpeg(72, 40, test::FrameColour(2))};
    return movie;
}

struct Query {
    bool ok = false;
    MediaFormat format;
};

Query QueryFile(const std::string& path) {
    Query q;
    q.ok = QueryMediaFormat(path, q.format);
    return q;
}

void ExpectMovie(const Query& q, int width, int height, int channels, std::uint32_t rate) {
    ASSERT_TRUE(q.ok);
    EXPECT_EQ(q.format.picture.size, 40u);
    EXPECT_EQ(q.format.picture.width, width);
    EXPECT_EQ(q.format.picture.height, height);
    EXPECT_EQ(q.format.picture.planes, 1);
    EXPECT_EQ(q.format.picture.bitCount, 24);
    EXPECT_EQ(q.format.picture.sizeImage, static_cast<std::uint32_t>(width * height * 3));
    EXPECT_EQ(q.format.sound.formatTag, kWaveFormatPcm);
    EXPECT_EQ(q.format.sound.channels, channels);
    EXPECT_EQ(q.format.sound.samplesPerSec, rate);
    EXPECT_EQ(q.format.sound.bitsPerSample, 16);
    EXPECT_EQ(q.format.sound.blockAlign, channels * 2);
    EXPECT_EQ(q.format.sound.avgBytesPerSec, channels * rate * 2);
}

void ExpectRefused(const Query& q) {
    EXPECT_FALSE(q.ok);
    EXPECT_EQ(q.format.picture.width, 0);
    EXPECT_EQ(q.format.picture.height, 0);
    EXPECT_EQ(q.format.sound.samplesPerSec, 0u);
    EXPECT_EQ(q.format.sound.channels, 0);
}

TEST(MovieFormatProbeTest, KqffAdpcmKindReportsHeaderFieldsAndTheLow16BitsOfTheRate) {
    ExpectMovie(QueryFile(Write("a.kqf", test::BuildKqffAdpcm(AdpcmMovie()))), 176, 144, 2, 22050);
    auto movie = AdpcmMovie();
    movie.sampleRate = 88200;
    ExpectMovie(QueryFile(Write("b.kqf", test::BuildKqffAdpcm(movie))), 176, 144, 2, 22664);
}

// The query leaves the data chunks to play start: a damaged "DATA" tag or audio field passes.
TEST(MovieFormatProbeTest, KqffAdpcmKindDoesNotExamineTheDataChunks) {
    auto movie = AdpcmMovie();
    movie.audioTag = "XXXX";
    movie.audioThird = 45;
    movie.videoTag = "data";
    EXPECT_TRUE(QueryFile(Write("c.kqf", test::BuildKqffAdpcm(movie))).ok);
}

TEST(MovieFormatProbeTest, KqffMp3KindTakesTheSoundFromTheFirstFrameHeader) {
    struct Case {
        const char* name;
        std::uint8_t b1, b2, b3;
        int channels;
        std::uint32_t rate;
    };
    const Case cases[] = {
        {"MPEG-1 44100 stereo", 0xFB, 0x90, 0x00, 2, 44100},
        {"MPEG-1 32000 mono", 0xFB, 0x98, 0xC0, 1, 32000},
        {"MPEG-2 index 1 mono", 0xF3, 0x94, 0xC0, 1, 24000},
        {"MPEG-2 16000 joint", 0xF3, 0x98, 0x40, 2, 16000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectMovie(QueryFile(Write("m.kqf", test::BuildKqffMp3(Mp3Movie(c.b1, c.b2, c.b3)))), 320,
                    240, c.channels, c.rate);
    }
}

TEST(MovieFormatProbeTest, RefusesDamagedKqffMovies) {
    struct Case {
        const char* name;
        Bytes file;
    };
    std::vector<Case> cases;
    const auto adpcm = [](const std::function<void(test::KqffAdpcmMovie&)>& change) {
        auto movie = AdpcmMovie();
        change(movie);
        return test::BuildKqffAdpcm(movie);
    };
    const auto mp3 = [](const std::function<void(test::KqffMp3Movie&)>& change) {
        auto movie = Mp3Movie(0xFB, 0x90, 0x00);
        change(movie);
        return test::BuildKqffMp3(movie);
    };
    cases.push_back({"lower-case magic", adpcm([](auto& m) { m.damage.magic = "kqff"; })});
    cases.push_back({"S past the file", adpcm([](auto& m) { m.damage.sizeS = 100000; })});
    cases.push_back({"X past the file", adpcm([](auto& m) { m.damage.sizeX = 100000; })});
    cases.push_back({"S + 8 below X + 32", adpcm([](auto& m) { m.damage.sizeS = 200; })});
    cases.push_back({"audio kind 1", adpcm([](auto& m) { m.damage.audioKind = 1; })});
    cases.push_back({"no LIST", adpcm([](auto& m) {
                         m.listTag = "LIST";
                         m.listTag = "LIsT";
                     })});
    cases.push_back({"list size 113", adpcm([](auto& m) { m.listSize = 113; })});
    cases.push_back({"V too large for X", adpcm([](auto& m) { m.videoChunk = 0xFFFFFFF0u; })});
    cases.push_back({"MP3 first record a picture", mp3([](auto& m) { m.records[0].type = 2; })});
    cases.push_back({"MP3 field 0x40 zero", mp3([](auto& m) { m.field40 = 0; })});
    cases.push_back({"MP3 field 0x84 zero", mp3([](auto& m) { m.field84 = 0; })});
    cases.push_back(
        {"MP3 reserved rate index", mp3([](auto& m) { m.records[0].bytes[2] = 0x9C; })});
    // The frame header at 305..308 must lie in the file: a file of 306 bytes ends inside it.
    cases.push_back({"MP3 header cut", mp3([](auto& m) {
                         m.damage.truncateTo = 306;
                         m.damage.sizeS = 298;
                         m.damage.sizeX = 274;
                     })});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectRefused(QueryFile(Write("bad.kqf", c.file)));
    }
}

TEST(MovieFormatProbeTest, LowerCaseKqffPassesTheQuickTestOnly) {
    auto movie = AdpcmMovie();
    movie.damage.magic = "kqff";
    const std::string path = Write("lower.kqf", test::BuildKqffAdpcm(movie));
    EXPECT_TRUE(IsKqffFile(path));
    EXPECT_FALSE(IsYhavFile(path));
    ExpectRefused(QueryFile(path));
}

TEST(MovieFormatProbeTest, YhavTakesThePictureSizeFromItsFirstFrameAndLeavesNoFile) {
    auto movie = Yhav();
    movie.magic = "yHaV";
    movie.leadingBytes = 5;
    movie.sampleRate = 0x10000 + 8000; // the probe reports the 16-bit value
    const std::string path = Write("a.yhav", test::BuildYhav(movie));
    EXPECT_TRUE(IsYhavFile(path));
    ExpectMovie(QueryFile(path), 72, 40, 1, 8000);
    EXPECT_TRUE(std::filesystem::is_empty(test::DriveCDir()));
}

TEST(MovieFormatProbeTest, RefusesYhavMoviesThatFailAHeaderCheck) {
    struct Case {
        const char* name;
        std::function<void(test::YhavMovie&)> change;
    };
    const Case cases[] = {
        {"t is 0", [](auto& m) { m.videoBytes = 0; }},
        {"A + t + 48 below the size", [](auto& m) { m.videoBytes = 10; }},
        {"damaged sync block", [](auto& m) { m.damageSync = true; }},
        {"non-zero at 36", [](auto& m) { m.field36 = 1; }},
        {"no start marker in the t bytes",
         [](auto& m) {
             m.leadingBytes = 64;
             m.videoBytes = 40;
             m.frames.clear();
         }},
        // t claims more than the file holds: passes the upper bound A + t + 48 >= size, but the
        // probe must not copy bytes from beyond the file.
        {"t past the end of the file", [](auto& m) { m.videoBytes = 1000000; }},
        {"A past the end of the file", [](auto& m) { m.syncOffset = 0xFFFFFF00u; }},
        {"A before the sound", [](auto& m) { m.syncOffset = 40; }},
        {"too short", [](auto& m) { m.truncateTo = 16; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto movie = Yhav();
        c.change(movie);
        ExpectRefused(QueryFile(Write("bad.yhav", test::BuildYhav(movie))));
    }
}

TEST(MovieFormatProbeTest, YhavWithAnUnreadableFirstPictureShowsTheLibraryError) {
    auto movie = Yhav();
    movie.frames = {Bytes{0xFF, 0xD8, 0x00, 0x01, 0x02, 0x03, 0xFF, 0xD9}};
    ui::MessageBoxRecorder boxes;
    ExpectRefused(QueryFile(Write("badjpeg.yhav", test::BuildYhav(movie))));
    const auto shown = boxes.Messages();
    // The library may warn once before it gives up; the fatal error comes last.
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back().caption, "JPEG Fatal Error");
    EXPECT_EQ(shown.back().owner, 0u);
    EXPECT_EQ(shown.back().style, ui::kMbOk | ui::kMbIconError);
    EXPECT_LE(shown.size(), 2u);
    EXPECT_TRUE(std::filesystem::is_empty(test::DriveCDir()));
}

TEST(MovieFormatProbeTest, AviNeedsBothStreamsAndReportsTheirStoredFormats) {
    test::AviMovie movie;
    movie.soundFormatBytes = 16; // the short PCM record: the missing extra size reads 0
    movie.videoFormatBytes = 44; // a longer record is cut to 40 bytes
    const Query both = QueryFile(Write("both.avi", test::BuildAvi(movie)));
    ASSERT_TRUE(both.ok);
    EXPECT_EQ(both.format.picture.width, 320);
    EXPECT_EQ(both.format.picture.height, 240);
    EXPECT_EQ(both.format.picture.compression, 0x47504A4Du);
    EXPECT_EQ(both.format.sound.samplesPerSec, 44100u);
    EXPECT_EQ(both.format.sound.channels, 2);
    EXPECT_EQ(both.format.sound.extraSize, 0);

    movie = {};
    movie.audio = false;
    ExpectRefused(QueryFile(Write("video.avi", test::BuildAvi(movie))));
    movie = {};
    movie.video = false;
    ExpectRefused(QueryFile(Write("audio.avi", test::BuildAvi(movie))));
}

TEST(MovieFormatProbeTest, MpegFilesAreRefusedAfterTheAviLine) {
    std::string lines;
    const DiagnosticsSink previous =
        SetDiagnosticsSink([&](std::string_view text) { lines.append(text); });
    const Bytes mpeg = {0x00, 0x00, 0x01, 0xBA, 0x44, 0x00, 0x04, 0x00, 0x04, 0x01,
                        0x01, 0x89, 0xC3, 0xF8, 0x00, 0x00, 0x01, 0xBB, 0x00, 0x0C};
    ExpectRefused(QueryFile(Write("movie.mpg", mpeg)));
    ExpectRefused(QueryFile((test::WorkDir() / "missing.avi").string()));
    SetDiagnosticsSink(previous);
    EXPECT_EQ(lines, "error: open avi file failed\nerror: open avi file failed\n");
}

} // namespace
} // namespace fz
