// The movie writer on hand-made intermediate files: frame records with real JPEG images and
// 16-bit PCM sound files. The movies are judged field by field against the real file, the
// frames by libjpeg and the embedded IMA ADPCM WAVE by sox.
#include "fzctrl/convert/MovieWriter.h"
#include "fzctrl/convert/AdpcmCodec.h"
#include "tests/convert/MovieTestSupport.h"
#include "tests/fzdsp/JpegTestDecoder.h"
#include "tests/support/IsolatedEnvironment.h"

#include <cmath>
#include <csignal>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace fz::test;

// One writer run in a fresh folder: frames.mjpg, sound.wav, the target movie.mp4.
struct Conversion {
    explicit Conversion(const std::string& name)
        : dir(FreshWorkDir(name))
        , frames(dir / "frames.mjpg")
        , sound(dir / "sound.wav")
        , target(dir / "movie.mp4") {
        snapshot.width = 176;
        snapshot.height = 144;
    }
    bool Write() { return fz::WriteMovie(snapshot, target, frames, sound); }
    std::string Movie() const { return ReadFile(target); }

    fs::path dir;
    fs::path frames;
    fs::path sound;
    fs::path target;
    fz::ConvertParams snapshot{};
};

// The audio section of a movie (from its header) written to a file of its own, for sox.
fs::path ExtractWave(const std::string& movie, const fs::path& where) {
    const std::uint32_t offset = Le32(movie, 20);
    WriteFile(where, movie.substr(offset));
    return where;
}

// The header fields every movie must have right, checked against the real file.
void ExpectConsistentContainer(const std::string& movie) {
    ASSERT_GE(movie.size(), 176u + 64u);
    const std::uint32_t v = Le32(movie, 16);
    const std::uint32_t a = Le32(movie, 24);
    EXPECT_EQ(std::memcmp(movie.data(), "MP4\0", 4), 0);
    EXPECT_EQ(Le32(movie, 4), movie.size() - 8);
    EXPECT_EQ(Le32(movie, 8), 255u);
    EXPECT_EQ(Le32(movie, 12), 164u);
    EXPECT_EQ(v % 4, 0u);
    EXPECT_EQ(Le32(movie, 20), 176u + v);
    EXPECT_EQ(176u + v + a, movie.size());
    EXPECT_EQ(Le32(movie, 28), movie.size() - 32);
    EXPECT_EQ(movie.substr(32, 4), "LIST");
    EXPECT_EQ(Le32(movie, 36), 112u);
    EXPECT_EQ(movie.substr(40, 4), "VIDE");
    EXPECT_EQ(Le32(movie, 44), 60u);
    for (std::size_t offset : {56u, 60u, 72u, 76u, 92u, 96u, 100u, 104u, 136u, 140u, 144u, 148u})
        EXPECT_EQ(Le32(movie, offset), 0u) << "offset " << offset;
    EXPECT_EQ(Le32(movie, 88), 152u);
    EXPECT_EQ(movie.substr(108, 4), "AUDI");
    EXPECT_EQ(Le32(movie, 112), 36u);
    EXPECT_EQ(Le16(movie, 116), 2u);
    EXPECT_EQ(Le16(movie, 118), 1u);
    EXPECT_EQ(Le32(movie, 120), 8000u);
    EXPECT_EQ(Le32(movie, 124), 4057u);
    EXPECT_EQ(Le16(movie, 128), 256u);
    EXPECT_EQ(Le16(movie, 130), 4u);
    EXPECT_EQ(Le32(movie, 132), 164u + v);
    EXPECT_EQ(movie.substr(152, 4), "DATA");
    EXPECT_EQ(Le32(movie, 156), v);
    EXPECT_EQ(Le32(movie, 160), 0u);
    EXPECT_EQ(movie.substr(164 + v, 4), "DATA");
    EXPECT_EQ(Le32(movie, 168 + v), 0u);
    EXPECT_EQ(Le32(movie, 172 + v), 0u);

    const std::string wave = movie.substr(176 + v);
    const std::uint32_t n = Le32(wave, 56);
    EXPECT_EQ(wave.size(), 60u + n);
    EXPECT_EQ(wave.substr(0, 4), "RIFF");
    EXPECT_EQ(Le32(wave, 4), n + 52);
    EXPECT_EQ(wave.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(Le32(wave, 16), 20u);
    EXPECT_EQ(Le16(wave, 20), 0x11u);
    EXPECT_EQ(Le16(wave, 22), 1u) << "the movie's sound has one channel";
    EXPECT_EQ(Le32(wave, 24), 8000u);
    EXPECT_EQ(Le32(wave, 28), 4057u);
    EXPECT_EQ(Le16(wave, 32), 256u);
    EXPECT_EQ(Le16(wave, 34), 4u);
    EXPECT_EQ(Le16(wave, 36), 2u);
    EXPECT_EQ(Le16(wave, 38), 505u);
    EXPECT_EQ(wave.substr(40, 4), "fact");
    EXPECT_EQ(Le32(wave, 44), 4u);
    const std::uint32_t f = Le32(wave, 48);
    EXPECT_EQ(n, (f / 505) * 256 + (f % 505) / 2 + 4);
    EXPECT_EQ(wave.substr(52, 4), "data");
}

TEST(MovieWriterTest, RealFramesAndAToneMakeAMovieThatLibjpegAndSoxRead) {
    Conversion run("real");
    std::vector<TimedImage> images = {{0, MakeJpeg(176, 144, 1)},
                                      {200, MakeJpeg(176, 144, 2)},
                                      {400, MakeJpeg(176, 144, 3)},
                                      {600, MakeJpeg(176, 144, 4, /*library=*/true)}};
    WriteFrameFile(run.frames, images);
    WriteSoundFile(run.sound, 1, 22050, Tone(1000, 2.0, 22050, 1, 8000));
    run.snapshot.videoStartOffsetMs = 123;
    ASSERT_TRUE(run.Write());

    const std::string movie = run.Movie();
    ExpectConsistentContainer(movie);
    std::size_t largest = 0;
    for (const auto& timed : images)
        largest = std::max(largest, timed.image.size());
    EXPECT_EQ(run.snapshot.audioLengthMs, 2000);
    EXPECT_EQ(run.snapshot.largestFrame, static_cast<std::int32_t>(largest + 2));
    EXPECT_EQ(Le32(movie, 48), 2000u / 4) << "frame duration = sound length / images";
    EXPECT_EQ(Le32(movie, 52), largest + 2);
    EXPECT_EQ(Le32(movie, 64), 4u);
    EXPECT_EQ(Le32(movie, 68), 123u);
    EXPECT_EQ(Le32(movie, 80), 176u);
    EXPECT_EQ(Le32(movie, 84), 144u);

    // The records are the frame file's bytes, then zero padding to a multiple of 4.
    const std::string frameFile = ReadFile(run.frames);
    const std::uint32_t v = Le32(movie, 16);
    ASSERT_GE(v, frameFile.size());
    ASSERT_LT(v - frameFile.size(), 4u);
    EXPECT_EQ(movie.substr(164, frameFile.size()), frameFile);
    EXPECT_EQ(movie.substr(164 + frameFile.size(), v - frameFile.size()),
              std::string(v - frameFile.size(), '\0'));

    // libjpeg reads every image of the movie.
    std::size_t at = 164;
    for (std::size_t k = 0; k < images.size(); ++k) {
        EXPECT_EQ(Le32(movie, at), static_cast<std::uint32_t>(images[k].timeStampMs));
        const std::uint32_t length = Le32(movie, at + 4);
        const auto jpeg = run.dir / ("image" + std::to_string(k) + ".jpg");
        WriteFile(jpeg, movie.substr(at + 8, length));
        std::string error;
        const auto decoded = DecodeJpegFile(jpeg.string(), &error);
        ASSERT_TRUE(decoded) << "image " << k << ": " << error;
        EXPECT_EQ(decoded->width, 176);
        EXPECT_EQ(decoded->height, 144);
        at += 8 + length;
    }

    // sox decodes the sound: whole 1024-sample blocks of 22050 Hz brought to 8000 Hz, the
    // 1 kHz tone dominant at about 0.89 of its amplitude.
    const std::uint32_t frames = Le32(movie, Le32(movie, 20) + 48);
    const double expected = 43.0 * 1024 * 8000 / 22050;
    EXPECT_NEAR(frames, expected, 1.0);
    const auto decoded = SoxDecode(ExtractWave(movie, run.dir / "sound8k.wav"));
    ASSERT_GE(decoded.size() + 7, frames); // sox may stop short inside the last block
    const std::vector<std::int16_t> middle(decoded.begin() + 500, decoded.begin() + frames - 500);
    EXPECT_GT(RelativePower(middle, 8000, 1000), 0.9);
    double peak = 0;
    for (std::int16_t s : middle)
        peak = std::max(peak, std::abs(static_cast<double>(s)));
    EXPECT_NEAR(peak, 0.89 * 8000, 0.05 * 8000);
}

TEST(MovieWriterTest, TwoChannelsAreMixedDownRoundingTowardsMinusInfinity) {
    Conversion run("stereo");
    WriteFrameFile(run.frames, {{0, MakeJpeg(176, 144, 5)}});
    // At 8000 Hz the resampler passes the samples through, so the movie's blocks must be
    // exactly the encoding of floor((L + R) / 2).
    std::vector<std::int16_t> stereo;
    std::vector<std::int16_t> mixed;
    for (int n = 0; n < 2048; ++n) {
        const auto left = static_cast<std::int16_t>(std::lround(9000 * std::sin(n * 0.3)) - 1);
        const auto right = static_cast<std::int16_t>((n % 3 == 0) ? -32768 : (n % 5) * 7 - 3);
        stereo.push_back(left);
        stereo.push_back(right);
        mixed.push_back(static_cast<std::int16_t>(std::floor((left + right) / 2.0)));
    }
    WriteSoundFile(run.sound, 2, 8000, stereo);
    ASSERT_TRUE(run.Write());
    EXPECT_EQ(run.snapshot.audioLengthMs, 256); // 8192 bytes at 2 x 8000 x 2 bytes per second

    const std::string movie = run.Movie();
    ExpectConsistentContainer(movie);
    const std::string wave = movie.substr(Le32(movie, 20));
    EXPECT_EQ(Le16(wave, 22), 1u);
    EXPECT_EQ(Le32(wave, 48), 2048u);
    std::vector<std::uint8_t> expected(Le32(wave, 56), 0);
    ASSERT_EQ(expected.size(), (2048u / 505) * 256 + (2048u % 505) / 2 + 4);
    fz::AdpcmState state;
    fz::AdpcmEncodeBlocks(mixed.data(), expected.data(), 2048, &state, 1);
    EXPECT_EQ(wave.substr(60), std::string(expected.begin(), expected.end()));
}

TEST(MovieWriterTest, SectionSizesAtTheirEdges) {
    struct Case {
        const char* name;
        std::vector<std::string> records; // raw frame-file contents
        int soundSamples;                 // mono at 8000 Hz
        std::uint32_t videoSize;          // V
        std::uint32_t frameCount;
        std::uint32_t soundFrames; // F
        std::uint32_t encodedSize; // N
    };
    auto record = [](std::size_t imageSize, std::uint8_t fill) {
        const auto image = FakeImage(imageSize, fill);
        std::string body(image.begin(), image.end());
        return RawRecord(0, static_cast<std::uint32_t>(imageSize), body);
    };
    const std::vector<Case> cases = {
        {"no records", {}, 2048, 0, 0, 2048, (2048 / 505) * 256 + (2048 % 505) / 2 + 4},
        {"4006 bytes of records", {record(2000, 1), record(1990, 2)}, 2048, 4008, 2, 2048, 1042},
        {"1000 samples: no whole block", {record(100, 3)}, 1000, 108, 1, 0, 4},
        {"whole ADPCM blocks", {record(100, 4)}, 505 * 1024, 108, 1, 505 * 1024, 1024 * 256 + 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Conversion run("edges");
        std::string frames;
        for (const auto& r : c.records)
            frames += r;
        WriteFile(run.frames, frames);
        WriteSoundFile(run.sound, 1, 8000, std::vector<std::int16_t>(c.soundSamples, 1000));
        ASSERT_TRUE(run.Write());
        const std::string movie = run.Movie();
        ExpectConsistentContainer(movie);
        EXPECT_EQ(Le32(movie, 16), c.videoSize);
        EXPECT_EQ(Le32(movie, 64), c.frameCount);
        EXPECT_EQ(movie.substr(164 + c.videoSize, 4), "DATA");
        const std::string wave = movie.substr(176 + c.videoSize);
        EXPECT_EQ(Le32(wave, 48), c.soundFrames);
        EXPECT_EQ(Le32(wave, 56), c.encodedSize);
        EXPECT_EQ(wave.substr(wave.size() - 4), std::string(4, '\0')) << "4 spare zero bytes";
        if (c.frameCount == 0) {
            EXPECT_EQ(Le32(movie, 48), 0u) << "no images: frame duration 0";
        }
    }
}

TEST(MovieWriterTest, ARecordOfImpossibleLengthEndsTheVideoSection) {
    const auto first = FakeImage(500, 7);
    const std::string good = RawRecord(0, 500, std::string(first.begin(), first.end()));
    const auto exact = FakeImage(1048576 - 8, 9); // a record that fills the copy buffer exactly
    struct Case {
        const char* name;
        std::string tail;
        std::uint32_t records;
    };
    const std::vector<Case> cases = {
        {"length below 12", RawRecord(40, 5, std::string(64, 'x')), 1},
        {"length 0", RawRecord(40, 0, std::string(64, 'x')), 1},
        {"longer than the copy buffer", RawRecord(40, 1048576 - 7, std::string(1048576, 'x')), 1},
        {"length near 4 GiB", RawRecord(40, 0xFFFFFFF0u, std::string(64, 'x')), 1},
        {"cut short", RawRecord(40, 3000, std::string(1000, 'x')), 1},
        {"header cut short", std::string(11, 'x'), 1},
        {"as long as the copy buffer",
         RawRecord(40, 1048576 - 8, std::string(exact.begin(), exact.end())), 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Conversion run("lengths");
        WriteFile(run.frames, good + c.tail + good);
        WriteSoundFile(run.sound, 1, 8000, std::vector<std::int16_t>(2048, 0));
        ASSERT_TRUE(run.Write());
        const std::string movie = run.Movie();
        ExpectConsistentContainer(movie);
        EXPECT_EQ(Le32(movie, 64), c.records);
        const std::string all = good + c.tail + good;
        const std::size_t copied = c.records == 1 ? good.size() : all.size();
        EXPECT_EQ(Le32(movie, 16), (copied + 3) / 4 * 4);
        EXPECT_EQ(movie.substr(164, copied), all.substr(0, copied));
    }
}

// Nothing of a failed conversion may stay behind: no movie (an earlier one unchanged), no
// temporary file beside it, no scratch file in drive C:.
void ExpectNothingLeftBehind(const Conversion& run, const std::string& earlier) {
    if (earlier.empty()) {
        EXPECT_FALSE(fs::is_regular_file(run.target));
    } else {
        EXPECT_EQ(ReadFile(run.target), earlier) << "the earlier movie is untouched";
    }
    for (const auto& name : FolderEntries(run.dir))
        EXPECT_TRUE(name == "frames.mjpg" || name == "sound.wav" || name == "movie.mp4" ||
                    name == "target-folder")
            << "left behind: " << name;
    for (const auto& name : FolderEntries(DriveCDir()))
        EXPECT_EQ(name.find("TempAudioFile"), std::string::npos) << "left in drive C: " << name;
}

TEST(MovieWriterTest, RefusedInputsGiveFalseAndLeaveNothing) {
    struct Case {
        const char* name;
        std::function<void(Conversion&)> damage;
    };
    const std::vector<Case> cases = {
        {"no frame file", [](Conversion& r) { fs::remove(r.frames); }},
        {"no sound file", [](Conversion& r) { fs::remove(r.sound); }},
        {"sound file is not a WAVE file", [](Conversion& r) { WriteFile(r.sound, "text"); }},
        {"sound file never finished (0 channels, 0 Hz)",
         [](Conversion& r) { WriteSoundFile(r.sound, 0, 0, {}); }},
        {"three channels",
         [](Conversion& r) {
             WriteSoundFile(r.sound, 3, 8000, {1, 2, 3});
         }},
        {"a rate the resampler cannot serve",
         [](Conversion& r) {
             WriteSoundFile(r.sound, 1, 4000000, std::vector<std::int16_t>(4096));
         }},
        {"target folder missing",
         [](Conversion& r) { r.target = r.dir / "no-such-folder" / "movie.mp4"; }},
        {"target is a folder",
         [](Conversion& r) {
             r.target = r.dir / "target-folder";
             fs::create_directory(r.target);
         }},
    };
    for (const Case& c : cases) {
        for (const std::string earlier : {"", "an earlier movie"}) {
            SCOPED_TRACE(std::string(c.name) + (earlier.empty() ? "" : ", over an earlier movie"));
            Conversion run("refused");
            WriteFrameFile(run.frames, {{0, FakeImage(64, 1)}});
            WriteSoundFile(run.sound, 1, 8000, std::vector<std::int16_t>(4096, 5));
            c.damage(run);
            if (!earlier.empty() && !fs::is_directory(run.target) &&
                fs::exists(run.target.parent_path()))
                WriteFile(run.target, earlier);
            const std::string before = fs::is_regular_file(run.target) ? ReadFile(run.target) : "";
            EXPECT_FALSE(run.Write());
            ExpectNothingLeftBehind(run, before);
        }
    }
}

// A full disk, made real with the file size limit: every write beyond it fails with EFBIG.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit limit = m_saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }

private:
    rlimit m_saved{};
};

TEST(MovieWriterTest, AFullDiskGivesFalseAndKeepsTheEarlierMovie) {
    struct Case {
        const char* name;
        int images;     // 4 000-byte images
        double seconds; // of 8000 Hz sound
        rlim_t limit;   // bytes any one file may reach
    };
    const std::vector<Case> cases = {
        // The movie would be about 400 kB; its frame records overrun the limit.
        {"while copying the frames", 100, 1.0, 100000},
        // The 8000-Hz scratch file (about 960 kB) overruns it, the movie would fit.
        {"while resampling the sound", 1, 60.0, 500000},
        // 100 kB of frames and 1 s of sound: the limit just below the complete movie lets the
        // records and the 16 kB scratch file through and stops the last part of the sound.
        {"while writing the end of the sound", 25, 1.0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Conversion run("full");
        std::vector<TimedImage> images;
        for (int k = 0; k < c.images; ++k)
            images.push_back({k * 200, FakeImage(4000, static_cast<std::uint8_t>(k))});
        WriteFrameFile(run.frames, images);
        WriteSoundFile(run.sound, 1, 8000, Tone(440, c.seconds, 8000, 1, 5000));
        const std::string earlier = "an earlier movie at the target";
        WriteFile(run.target, earlier);
        rlim_t limit = c.limit;
        if (limit == 0) {
            Conversion probe("full-probe");
            fs::copy_file(run.frames, probe.frames);
            fs::copy_file(run.sound, probe.sound);
            ASSERT_TRUE(probe.Write());
            limit = static_cast<rlim_t>(fs::file_size(probe.target) - 100);
        }
        bool written = true;
        {
            FileSizeLimit full(limit);
            written = run.Write();
        }
        EXPECT_FALSE(written);
        ExpectNothingLeftBehind(run, earlier);
    }
}

TEST(MovieWriterTest, TwoConversionsFinishingAtOnceKeepTheirOwnSound) {
    // Each writer's scratch file in drive C: has a name of its own; a shared one would mix the
    // two sounds.
    Conversion a("parallel-a");
    Conversion b("parallel-b");
    WriteFrameFile(a.frames, {{0, FakeImage(100, 1)}});
    WriteFrameFile(b.frames, {{0, FakeImage(100, 2)}});
    WriteSoundFile(a.sound, 1, 22050, Tone(500, 20.0, 22050, 1, 6000));
    WriteSoundFile(b.sound, 1, 11025, Tone(1500, 12.0, 11025, 1, 6000));
    bool writtenA = false, writtenB = false;
    for (int round = 0; round < 3; ++round) {
        std::thread first([&] { writtenA = a.Write(); });
        std::thread second([&] { writtenB = b.Write(); });
        first.join();
        second.join();
        ASSERT_TRUE(writtenA && writtenB);
        const auto soundA = SoxDecode(ExtractWave(a.Movie(), a.dir / "a.wav"));
        const auto soundB = SoxDecode(ExtractWave(b.Movie(), b.dir / "b.wav"));
        EXPECT_NEAR(static_cast<double>(soundA.size()), 20.0 * 8000, 8000 * 0.1);
        EXPECT_NEAR(static_cast<double>(soundB.size()), 12.0 * 8000, 8000 * 0.2);
        EXPECT_GT(RelativePower(soundA, 8000, 500), 0.9);
        EXPECT_GT(RelativePower(soundB, 8000, 1500), 0.9);
    }
    EXPECT_TRUE(FolderEntries(DriveCDir()).empty() ||
                FolderEntries(DriveCDir()) == std::vector<std::string>{});
}

} // namespace

namespace {

TEST(MovieWriterTest, AnAbandonedWriteLeavesNoMovieAndKeepsTheEarlierOne) {
    Conversion run("abandon");
    WriteFrameFile(run.frames, {{0, FakeImage(100, 1)}, {200, FakeImage(100, 2)}});
    WriteSoundFile(run.sound, 1, 8000, Tone(440, 1.0, 8000, 1, 5000));
    WriteFile(run.target, "the earlier movie");
    const std::atomic<bool> abandon{true};
    EXPECT_FALSE(fz::WriteMovie(run.snapshot, run.target, run.frames, run.sound, &abandon));
    ExpectNothingLeftBehind(run, "the earlier movie");
    const std::atomic<bool> carryOn{false};
    EXPECT_TRUE(fz::WriteMovie(run.snapshot, run.target, run.frames, run.sound, &carryOn));
}

} // namespace
