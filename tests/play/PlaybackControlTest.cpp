#include "fzctrl/control/CFramzelCtrl.h"
#include "platform/audio/Mixer.h"
#include "platform/time/TickCount.h"
#include "tests/play/PlayTestSupport.h"
#include "tests/support/IsolatedEnvironment.h"
#include "tests/support/fixtures/JpegFixture.h"
#include "tests/support/fixtures/MovieFixture.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace fz {
namespace {

using test::Bytes;

std::string Write(const std::string& name, const Bytes& bytes) {
    const auto path = test::WorkDir() / name;
    test::WriteBytes(path, bytes);
    return path.string();
}

std::string AdpcmMovie(const std::string& name, std::uint32_t width, std::uint32_t height,
                       std::size_t codeBytes, int frames) {
    test::KqffAdpcmMovie movie;
    movie.width = width;
    movie.height = height;
    movie.adpcm = test::NoiseBytes(codeBytes);
    for (int i = 0; i < frames; ++i)
        movie.frames.push_back(test::MakeJpeg(static_cast<int>(width), static_cast<int>(height),
                                              test::FrameColour(i)));
    return Write(name, test::BuildKqffAdpcm(movie));
}

struct Times {
    Bool playing = kFalse;
    long total = -1;
    long current = -1;
};

Times Poll(CFramzelCtrl& control) {
    Times t;
    control.IsPlaying(&t.playing);
    control.PlayTotleTime(&t.total);
    control.PlayCurrentTime(&t.current);
    return t;
}

TEST(PlaybackControlTest, PlayStartDrawsIntoThePreviewAndTheTimesFollowTheLifecycle) {
    CFramzelCtrl control;
    test::PreviewWindow window(340, 270);
    Bool ok = kFalse;
    control.PlayStop(&ok); // nothing open: does nothing, reports TRUE
    EXPECT_EQ(ok, kTrue);

    const std::string path = AdpcmMovie("half.kqf", 64, 48, 2000, 3); // 500 ms
    long width = -1, height = -1, rate = -1, channels = -1;
    control.GetFormat(path.c_str(), &width, &height, &rate, &channels, &ok);
    ASSERT_EQ(ok, kTrue);
    EXPECT_EQ(width, 64);
    EXPECT_EQ(height, 48);
    EXPECT_EQ(rate, 8000);
    EXPECT_EQ(channels, 1);

    control.SetPreviewWindow(static_cast<long>(window.handle), 10, 20, 330, 260);
    control.PlayStart(path.c_str(), &ok);
    ASSERT_EQ(ok, kTrue);
    Times t = Poll(control);
    EXPECT_EQ(t.playing, kTrue);
    EXPECT_EQ(t.total, 500);

    ASSERT_TRUE(test::PumpUntil([&] { return *window.endMessages == 1; }, 5000));
    t = Poll(control);
    EXPECT_EQ(t.playing, kTrue);
    EXPECT_EQ(t.current, 500);
    // Every frame is stretched to 320 × 240 at (10, 20); the last one stays.
    EXPECT_TRUE(test::Near(window.PixelAt(10, 20), test::FrameColour(2)));
    EXPECT_TRUE(test::Near(window.PixelAt(329, 259), test::FrameColour(2)));
    EXPECT_EQ(window.PixelAt(5, 5), 0u);

    control.PlayStop(&ok);
    EXPECT_EQ(ok, kTrue);
    t = Poll(control);
    EXPECT_EQ(t.playing, kFalse);
    EXPECT_EQ(t.current, 0);
    EXPECT_EQ(t.total, 500);
}

TEST(PlaybackControlTest, PlayStartRefusals) {
    CFramzelCtrl control;
    Bool ok = kTrue;
    const std::string threeChars = "a.k";
    control.PlayStart(threeChars.c_str(), &ok);
    EXPECT_EQ(ok, kFalse);

    // A file that is neither movie kind, even a good AVI file, is refused before the query.
    control.PlayStart(Write("clip.avi", Bytes(300, 0)).c_str(), &ok);
    EXPECT_EQ(ok, kFalse);

    test::KqffAdpcmMovie kind1;
    kind1.adpcm = test::NoiseBytes(800);
    kind1.frames = {test::MakeJpeg(16, 16, test::FrameColour(0))};
    kind1.damage.audioKind = 1;
    control.PlayStart(Write("kind1.kqf", test::BuildKqffAdpcm(kind1)).c_str(), &ok);
    EXPECT_EQ(ok, kFalse);

    // The format query passes this one (it does not look at the data chunks); the open refuses.
    auto badData = kind1;
    badData.damage.audioKind.reset();
    badData.audioTag = "XXXX";
    control.PlayStart(Write("baddata.kqf", test::BuildKqffAdpcm(badData)).c_str(), &ok);
    EXPECT_EQ(ok, kFalse);
    Bool playing = kTrue;
    control.IsPlaying(&playing);
    EXPECT_EQ(playing, kFalse);

    // Without `bret` nothing happens at all.
    control.PlayStart(AdpcmMovie("quiet.kqf", 16, 16, 4000, 2).c_str(), nullptr);
    control.IsPlaying(&playing);
    EXPECT_EQ(playing, kFalse);
}

// A second play start while a movie plays keeps that movie (and its picture size) untouched.
TEST(PlaybackControlTest, PlayStartWhileAMovieIsOpenKeepsIt) {
    CFramzelCtrl control;
    test::PreviewWindow window(64, 48);
    control.SetPreviewWindow(static_cast<long>(window.handle), 0, 0, 64, 48);
    Bool ok = kFalse;
    control.PlayStart(AdpcmMovie("first.kqf", 64, 48, 8000, 4).c_str(), &ok);
    ASSERT_EQ(ok, kTrue);
    control.PlayStart(AdpcmMovie("second.kqf", 16, 16, 400, 2).c_str(), &ok);
    EXPECT_EQ(ok, kTrue);
    const Times t = Poll(control);
    EXPECT_EQ(t.playing, kTrue);
    EXPECT_EQ(t.total, 2000);
    ASSERT_TRUE(test::PumpUntil([&] { return *window.endMessages == 1; }, 6000));
    EXPECT_TRUE(test::Near(window.PixelAt(32, 24), test::FrameColour(3)));
    control.PlayStop(&ok);
}

struct VolumeReading {
    long max = -1;
    long min = -1;
    Bool rangeOk = kTrue;
    long volume = -1;
    Bool volumeOk = kTrue;
};

VolumeReading ReadVolume(CFramzelCtrl& control) {
    VolumeReading r;
    control.GetVolumeRange(&r.max, &r.min, &r.rangeOk);
    control.GetVolume(&r.volume, &r.volumeOk);
    return r;
}

TEST(VolumeControlTest, StepsOfTheFakeMixer) {
    setenv("FRAMZEL_MIXER", "fake:65535:32768", 1);
    CFramzelCtrl control;
    Bool ok = kTrue;
    control.SetVolume(40, &ok); // before any query
    EXPECT_EQ(ok, kFalse);

    VolumeReading r = ReadVolume(control);
    EXPECT_EQ(r.rangeOk, kTrue);
    EXPECT_EQ(r.max, 100);
    EXPECT_EQ(r.min, 0);
    EXPECT_EQ(r.volumeOk, kTrue);
    EXPECT_EQ(r.volume, 50); // 32768 / 655 = 50.03

    // SetVolume writes 655 × v: 65500 for 100, 19650 for 30 (19650 / 655 = 30.0).
    control.SetVolume(100, &ok);
    EXPECT_EQ(ok, kTrue);
    EXPECT_EQ(ReadVolume(control).volume, 100);
    control.SetVolume(30, &ok);
    EXPECT_EQ(ok, kTrue);
    EXPECT_EQ(ReadVolume(control).volume, 30);
    control.SetVolume(101, &ok); // 66155 is beyond the mixer's range
    EXPECT_EQ(ok, kFalse);
    control.SetVolume(-1, &ok);
    EXPECT_EQ(ok, kFalse);
}

TEST(VolumeControlTest, AMaximumOf150ReportsUpTo150) {
    setenv("FRAMZEL_MIXER", "fake:150:150", 1);
    CFramzelCtrl control;
    EXPECT_EQ(ReadVolume(control).volume, 150);
    Bool ok = kFalse;
    control.SetVolume(120, &ok);
    EXPECT_EQ(ok, kTrue);
    EXPECT_EQ(ReadVolume(control).volume, 120);
}

TEST(VolumeControlTest, FailuresReportZeroAndFalse) {
    struct Case {
        const char* mixer;
        bool failing;
    };
    for (const Case c : {Case{"fake:65535", true}, Case{"fake:99", false}, Case{"none", false}}) {
        SCOPED_TRACE(c.mixer);
        setenv("FRAMZEL_MIXER", c.mixer, 1);
        CFramzelCtrl control;
        audio::SetFakeMixerFailing(c.failing);
        const VolumeReading r = ReadVolume(control);
        audio::SetFakeMixerFailing(false);
        EXPECT_EQ(r.rangeOk, kFalse);
        EXPECT_EQ(r.max, 0);
        EXPECT_EQ(r.min, 0);
        EXPECT_EQ(r.volumeOk, kFalse);
        EXPECT_EQ(r.volume, 0);
        Bool ok = kTrue;
        control.SetVolume(10, &ok);
        EXPECT_EQ(ok, kFalse);
    }
}

// The test machine has no sound card: the ALSA mixer cannot be opened, quickly and quietly.
TEST(VolumeControlTest, AlsaWithoutACardReportsFalseWithoutWaiting) {
    setenv("FRAMZEL_MIXER", "alsa", 1);
    const std::uint64_t before = time::GetTickCount64();
    CFramzelCtrl control;
    const VolumeReading r = ReadVolume(control);
    EXPECT_LT(time::GetTickCount64() - before, 2000u);
    if (r.rangeOk == kTrue)
        GTEST_SKIP() << "this machine has a sound card with a playback volume";
    EXPECT_EQ(r.volume, 0);
    EXPECT_EQ(r.volumeOk, kFalse);
}

} // namespace
} // namespace fz
