#include "fzctrl/convert/AdpcmCodec.h"
#include "fzctrl/play/CMoviePlayer.h"
#include "fzctrl/play/CPreviewDrawer.h"
#include "fzctrl/play/MovieFrameHandler.h"
#include "fzctrl/play/MoviePlayback.h"
#include "platform/time/TickCount.h"
#include "tests/play/PlayTestSupport.h"
#include "tests/play/support/MpaOracle.h"
#include "tests/support/IsolatedEnvironment.h"
#include "tests/support/fixtures/JpegFixture.h"
#include "tests/support/fixtures/MovieFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

namespace fz {
namespace {

using test::Bytes;

std::string Write(const std::string& name, const Bytes& bytes) {
    const auto path = test::WorkDir() / name;
    test::WriteBytes(path, bytes);
    return path.string();
}

// Sound goes to a WAVE file that the test reads back once the device is closed.
std::filesystem::path PlayToFile(const std::string& name) {
    const auto path = test::WorkDir() / name;
    setenv("FRAMZEL_AUDIO", ("file:" + path.string()).c_str(), 1);
    return path;
}

std::vector<std::int16_t> AdpcmReference(const Bytes& codes) {
    std::vector<std::int16_t> pcm(codes.size() * 2);
    AdpcmState state;
    AdpcmDecode(codes.data(), pcm.data(), static_cast<int>(pcm.size()), &state);
    return pcm;
}

std::vector<Bytes> ColourFrames(int count, int width, int height) {
    std::vector<Bytes> frames;
    for (int i = 0; i < count; ++i)
        frames.push_back(test::MakeJpeg(width, height, test::FrameColour(i)));
    return frames;
}

// What the frame callback saw: the play clock at each frame and the colour drawn.
struct FrameLog {
    std::mutex mutex;
    std::vector<std::uint32_t> clock;
    std::vector<std::uint32_t> centre;
};

// A player that draws into the window like the engine does and notes each frame.
class RecordingPlayer {
public:
    RecordingPlayer(test::PreviewWindow& window, int width, int height)
        : m_window(window) {
        m_drawer.SetFormat(MakeMoviePictureFormat(width, height));
        m_drawer.SetTarget(window.handle, 0, 0, 64, 48);
        m_drawer.Open();
        player.SetNotifyWindow(window.handle);
        player.SetFrameCallback([this](const std::uint8_t* jpeg, std::uint32_t size) {
            const std::uint32_t clock = player.GetCurrentTime();
            HandleMovieFrame(jpeg, size, m_drawer);
            std::lock_guard lock(log.mutex);
            log.clock.push_back(clock);
            log.centre.push_back(m_window.PixelAt(32, 24));
        });
    }

    bool PlayToEnd(std::uint32_t timeoutMs) {
        return test::PumpUntil([&] { return *m_window.endMessages > 0; }, timeoutMs);
    }

    CMoviePlayer player;
    FrameLog log;

private:
    test::PreviewWindow& m_window;
    CPreviewDrawer m_drawer;
};

// Frame k is due at next(k) = trunc(next(k-1) + duration); it is handed over at the first
// decode step whose clock has passed that time.
void ExpectPacedFrames(const FrameLog& log, std::uint32_t first, double duration,
                       std::uint32_t stepMs, std::size_t frames) {
    ASSERT_EQ(log.clock.size(), frames);
    std::uint32_t due = first;
    for (std::size_t k = 0; k < frames; ++k) {
        EXPECT_GT(log.clock[k], due) << "frame " << k;
        EXPECT_LE(log.clock[k], due + stepMs) << "frame " << k;
        EXPECT_TRUE(test::Near(log.centre[k], test::FrameColour(static_cast<int>(k))))
            << "frame " << k;
        due = static_cast<std::uint32_t>(due + duration);
    }
}

// 8000 Hz mono: 80 code bytes (20 ms) per decode step; 4037 bytes end in a short step.
TEST(MoviePlayerTest, KqffAdpcmPlaysTheExactDecodeAndDrawsEveryFrameOnTheClock) {
    const auto wave = PlayToFile("adpcm.wav");
    test::KqffAdpcmMovie movie;
    movie.adpcm = test::NoiseBytes(4037, 7);
    movie.frames = ColourFrames(5, 64, 48);
    movie.firstFrameTime = 0;
    const std::string path = Write("adpcm.kqf", test::BuildKqffAdpcm(movie));

    test::PreviewWindow window(64, 48);
    RecordingPlayer recorder(window, 64, 48);
    ASSERT_EQ(recorder.player.Open(path), kOpenOk);
    EXPECT_EQ(recorder.player.GetTotalTime(), 1009u); // 4037 × 2 × 1000 / 8000
    recorder.player.Start();
    EXPECT_EQ(recorder.player.GetState(), kPlayerPlaying);
    ASSERT_TRUE(recorder.PlayToEnd(10000));
    EXPECT_EQ(*window.endMessages, 1);
    EXPECT_EQ(recorder.player.GetCurrentTime(), 1009u);
    EXPECT_EQ(recorder.player.GetState(), kPlayerPlaying);
    time::Sleep(400); // the queued buffers play out
    recorder.player.Close();

    ExpectPacedFrames(recorder.log, 0, 1009.0 / 5, 20, 5);
    EXPECT_EQ(test::ReadWaveSamples(wave), AdpcmReference(movie.adpcm));
    EXPECT_TRUE(std::filesystem::is_empty(test::DriveCDir()));
}

TEST(MoviePlayerTest, YhavFortyFramesInFourSecondsAreDueEveryHundredMilliseconds) {
    const auto wave = PlayToFile("yhav.wav");
    test::YhavMovie movie;
    movie.seconds = 4;
    movie.adpcm = test::NoiseBytes(16000, 3);
    movie.frames = ColourFrames(40, 32, 24);
    const std::string path = Write("forty.yhav", test::BuildYhav(movie));

    test::PreviewWindow window(64, 48);
    RecordingPlayer recorder(window, 32, 24);
    ASSERT_EQ(recorder.player.Open(path), kOpenOk);
    EXPECT_EQ(recorder.player.GetTotalTime(), 4000u);
    recorder.player.Start();
    ASSERT_TRUE(recorder.PlayToEnd(15000));
    time::Sleep(400);
    recorder.player.Close();
    ExpectPacedFrames(recorder.log, 0, 100.0, 20, 40);
    // The sound is the A - 60 bytes before the sync block, nothing of the block or the pictures.
    EXPECT_EQ(test::ReadWaveSamples(wave), AdpcmReference(movie.adpcm));
}

TEST(MoviePlayerTest, KqffMp3PlaysOurMpegDecodeAndHandsPicturesOverInStreamOrder) {
    const auto wave = PlayToFile("mp3.wav");
    const auto pcm = test::mpa::MakeSignal(test::mpa::Signal::Tones, 22050, 1, 1.0);
    test::mpa::EncodeSettings settings;
    settings.encoder = test::mpa::Encoder::Mp3;
    settings.bitRateKbps = 64;
    const test::mpa::Stream stream = test::mpa::Encode(pcm, settings);
    ASSERT_GT(stream.frames.size(), 10u);

    // A picture after every third MPEG frame, two in a row after the sixth.
    test::KqffMp3Movie movie;
    movie.msPerFrame = 26;
    movie.totalTimeMs = 1000;
    int pictures = 0;
    for (std::size_t i = 0; i < stream.frames.size(); ++i) {
        const auto& span = stream.frames[i];
        movie.records.push_back(
            {1,
             Bytes(stream.bytes.begin() + static_cast<std::ptrdiff_t>(span.offset),
                   stream.bytes.begin() + static_cast<std::ptrdiff_t>(span.offset + span.size))});
        const int count = i == 5 ? 2 : (i % 3 == 2 ? 1 : 0);
        for (int k = 0; k < count; ++k)
            movie.records.push_back({2, test::MakeJpeg(64, 48, test::FrameColour(pictures++))});
    }
    const std::string path = Write("mp3.kqf", test::BuildKqffMp3(movie));

    test::PreviewWindow window(64, 48);
    RecordingPlayer recorder(window, 64, 48);
    ASSERT_EQ(recorder.player.Open(path), kOpenOk);
    EXPECT_EQ(recorder.player.GetTotalTime(), 1000u);
    recorder.player.Start();
    ASSERT_TRUE(recorder.PlayToEnd(10000));
    time::Sleep(600);
    recorder.player.Close();

    ASSERT_EQ(recorder.log.centre.size(), static_cast<std::size_t>(pictures));
    for (int k = 0; k < pictures; ++k)
        EXPECT_TRUE(
            test::Near(recorder.log.centre[static_cast<std::size_t>(k)], test::FrameColour(k)))
            << k;
    // The two pictures after the sixth frame come within one decode step: same clock.
    EXPECT_EQ(recorder.log.clock[1], recorder.log.clock[2]);
    EXPECT_LT(recorder.log.clock[0], recorder.log.clock[1]);

    const test::mpa::Decoded ours = test::mpa::DecodeWithFramzel(stream);
    std::vector<std::int16_t> expected;
    for (float sample : ours.samples)
        expected.push_back(static_cast<std::int16_t>(sample));
    EXPECT_EQ(test::ReadWaveSamples(wave), expected);
}

TEST(MoviePlayerTest, OpenCodesOnCraftedFiles) {
    struct Case {
        const char* name;
        Bytes file;
        int expected;
    };
    const auto adpcm = [](const std::function<void(test::KqffAdpcmMovie&)>& change) {
        test::KqffAdpcmMovie movie;
        movie.adpcm = test::NoiseBytes(800);
        movie.frames = ColourFrames(2, 16, 16);
        change(movie);
        return test::BuildKqffAdpcm(movie);
    };
    const auto yhav = [](const std::function<void(test::YhavMovie&)>& change) {
        test::YhavMovie movie;
        movie.adpcm = test::NoiseBytes(800);
        movie.frames = ColourFrames(2, 16, 16);
        change(movie);
        return test::BuildYhav(movie);
    };
    std::vector<Case> cases = {
        {"empty file", {}, kOpenCannotMap},
        {"playable ADPCM kind", adpcm([](auto&) {}), kOpenOk},
        {"playable YHAV", yhav([](auto&) {}), kOpenOk},
        {"lower-case KQFF magic", adpcm([](auto& m) { m.damage.magic = "kqff"; }),
         kOpenNotPlayable},
        {"audio kind 1", adpcm([](auto& m) { m.damage.audioKind = 1; }), kOpenOtherAudioKind},
        {"video tag", adpcm([](auto& m) { m.videoTag = "DATX"; }), kOpenNotPlayable},
        {"audio tag", adpcm([](auto& m) { m.audioTag = "DAT"; }), kOpenNotPlayable},
        {"audio third field", adpcm([](auto& m) { m.audioThird = 45; }), kOpenNotPlayable},
        {"no complete picture", adpcm([](auto& m) { m.frames = {Bytes(300, 0xFF)}; }),
         kOpenNotPlayable},
        // Regions that reach past the end of the file.
        {"audio chunk past the end", adpcm([](auto& m) {
             m.audioChunkSize = 5000;
             m.damage.sizeX = 0xFFFF;
             m.damage.sizeS = 0xFFFF + 24;
         }),
         kOpenNotPlayable},
        {"video skip past the end", adpcm([](auto& m) {
             m.videoChunk = 152;
             m.videoSkip = 0;
             m.videoChunkSize = 3000;
         }),
         kOpenNotPlayable},
        {"V past the end", adpcm([](auto& m) { m.videoChunk = 100000; }), kOpenNotPlayable},
        {"YHAV t past the end", yhav([](auto& m) { m.videoBytes = 100000; }), kOpenNotPlayable},
        {"YHAV sync block moved", yhav([](auto& m) { m.syncOffset = 64; }), kOpenNotPlayable},
        // The clock divides by channels × the 16-bit rate.
        {"no channels", adpcm([](auto& m) { m.channels = 0; }), kOpenNotPlayable},
        {"rate with zero low bits", adpcm([](auto& m) { m.sampleRate = 0x10000; }),
         kOpenNotPlayable},
        // A stored rate of 4 × 10^9 asks for a sound buffer of 10 GB.
        {"absurd rate", yhav([](auto& m) { m.sampleRate = 4000000000u; }), kOpenOutOfMemory},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CMoviePlayer player;
        EXPECT_EQ(player.Open(Write("case.movie", c.file)), c.expected);
        EXPECT_EQ(player.GetState(), c.expected == kOpenOk ? kPlayerOpen : kPlayerClosed);
    }
    CMoviePlayer player;
    EXPECT_EQ(player.Open((test::WorkDir() / "missing.kqf").string()), kOpenCannotMap);
}

// Fewer than eight decode steps of sound: the buffers are queued but playing never begins.
// A rate below 100 Hz gives 0 code bytes per step: nothing is queued at all.
TEST(MoviePlayerTest, ShortMoviesAndTinyRatesNeverEnterPlaying) {
    for (std::uint32_t rate : {8000u, 50u}) {
        SCOPED_TRACE(rate);
        test::KqffAdpcmMovie movie;
        movie.sampleRate = rate;
        movie.adpcm = test::NoiseBytes(80 * 5);
        movie.frames = ColourFrames(2, 16, 16);
        CMoviePlayer player;
        ASSERT_EQ(player.Open(Write("short.kqf", test::BuildKqffAdpcm(movie))), kOpenOk);
        player.Start();
        EXPECT_EQ(player.GetState(), kPlayerOpen);
        player.Close();
        EXPECT_EQ(player.GetState(), kPlayerClosed);
    }
}

// A movie cut short while it plays (a card pulled out) ends playback; it never faults on the
// mapping. A movie deleted while it plays goes on to its end.
TEST(MoviePlayerTest, AMovieCutShortWhilePlayingEndsCleanly) {
    test::YhavMovie movie;
    movie.seconds = 3;
    movie.adpcm = test::NoiseBytes(24000);
    movie.frames = ColourFrames(30, 16, 16);
    const std::string path = Write("cut.yhav", test::BuildYhav(movie));
    test::PreviewWindow window(64, 48);
    RecordingPlayer recorder(window, 16, 16);
    ASSERT_EQ(recorder.player.Open(path), kOpenOk);
    recorder.player.Start();
    time::Sleep(300);
    std::filesystem::resize_file(path, 100);
    ASSERT_TRUE(recorder.PlayToEnd(5000));
    EXPECT_LT(recorder.log.clock.size(), 30u);
    recorder.player.Close();

    const std::string kept = Write("gone.yhav", test::BuildYhav(movie));
    RecordingPlayer second(window, 16, 16);
    ASSERT_EQ(second.player.Open(kept), kOpenOk);
    second.player.Start();
    std::filesystem::remove(kept);
    ASSERT_TRUE(test::PumpUntil([&] { return *window.endMessages == 2; }, 8000));
    second.player.Close();
    EXPECT_EQ(second.log.clock.size(), 30u);
}

// Close gives the audio thread 1000 ms; a thread still inside the frame callback (or inside the
// end-of-movie message, which needs the control's thread to pump) keeps what it uses alive.
TEST(MoviePlayerTest, CloseNeverFreesWhatTheAudioThreadStillUses) {
    test::KqffAdpcmMovie movie;
    movie.adpcm = test::NoiseBytes(8000);
    movie.frames = ColourFrames(40, 16, 16);
    const std::string path = Write("slow.kqf", test::BuildKqffAdpcm(movie));
    std::atomic<int> inCallback{0};
    std::atomic<int> frames{0};
    {
        CMoviePlayer player;
        ASSERT_EQ(player.Open(path), kOpenOk);
        player.SetFrameCallback([&](const std::uint8_t* jpeg, std::uint32_t size) {
            if (++frames == 6) {
                inCallback = 1;
                time::Sleep(1500);
                // The movie's bytes are still mapped.
                volatile std::uint8_t sum = 0;
                for (std::uint32_t i = 0; i < size; ++i)
                    sum = static_cast<std::uint8_t>(sum + jpeg[i]);
                inCallback = 2;
            }
        });
        player.Start();
        ASSERT_TRUE(test::PumpUntil([&] { return inCallback == 1; }, 5000));
        const std::uint64_t before = time::GetTickCount64();
        player.Close();
        EXPECT_LT(time::GetTickCount64() - before, 1400u);
        EXPECT_EQ(player.GetCurrentTime(), 0u);
    }
    ASSERT_TRUE(test::PumpUntil([&] { return inCallback == 2; }, 5000));
    time::Sleep(100);

    // The end-of-movie message waits for this thread, which is inside Close and not pumping.
    test::PreviewWindow window(64, 48);
    test::KqffAdpcmMovie tiny;
    tiny.adpcm = test::NoiseBytes(80 * 10);
    tiny.frames = ColourFrames(2, 16, 16);
    CMoviePlayer player;
    ASSERT_EQ(player.Open(Write("tiny.kqf", test::BuildKqffAdpcm(tiny))), kOpenOk);
    player.SetNotifyWindow(window.handle);
    player.Start();
    time::Sleep(600); // the thread is now blocked in the message
    player.Close();
    EXPECT_EQ(*window.endMessages, 0);
    ASSERT_TRUE(test::PumpUntil([&] { return *window.endMessages == 1; }, 3000));
}

// The prefill runs the first decode steps (and draws their frames) on the calling thread; when
// that takes longer than the first buffers take to play, those buffers come back before playing
// has begun. Every one of them is refilled: the whole sound is played and the movie ends.
TEST(MoviePlayerTest, BuffersReturnedDuringASlowPrefillAreRefilled) {
    const auto wave = PlayToFile("slowstart.wav");
    test::KqffAdpcmMovie movie;
    movie.adpcm = test::NoiseBytes(80 * 40);
    movie.frames = ColourFrames(20, 16, 16);
    test::PreviewWindow window(64, 48);
    CMoviePlayer player;
    ASSERT_EQ(player.Open(Write("slowstart.kqf", test::BuildKqffAdpcm(movie))), kOpenOk);
    player.SetNotifyWindow(window.handle);
    const auto control = std::this_thread::get_id();
    player.SetFrameCallback([&](const std::uint8_t*, std::uint32_t) {
        if (std::this_thread::get_id() == control)
            time::Sleep(120);
    });
    player.Start();
    ASSERT_EQ(player.GetState(), kPlayerPlaying);
    int most = 0;
    for (int i = 0; i < 20; ++i) {
        most = std::max(most, player.BuffersAtDevice());
        time::Sleep(5);
    }
    EXPECT_EQ(most, kPlaybackBuffers);
    ASSERT_TRUE(test::PumpUntil([&] { return *window.endMessages == 1; }, 8000));
    time::Sleep(400);
    player.Close();
    EXPECT_EQ(test::ReadWaveSamples(wave), AdpcmReference(movie.adpcm));
}

} // namespace
} // namespace fz
