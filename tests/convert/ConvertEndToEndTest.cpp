// Whole conversions of generated sources through the real media graph, FFmpeg source and
// processing filters: the movie is judged by the inspector, libjpeg and sox. The media and
// filter servers are registered into this test process's own settings store first.
#include "fzctrl/control/CFramzelCtrl.h"
#include "fzctrl/convert/MovieInspector.h"
#include "platform/time/TickCount.h"
#include "platform/ui/WindowMessages.h"
#include "platform/ui/WindowPicture.h"
#include "tests/convert/MovieTestSupport.h"
#include "tests/fzdsp/JpegTestDecoder.h"
#include "tests/support/GeneratedMedia.h"
#include "tests/support/IsolatedEnvironment.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using namespace fz::test;
using fz::mediagen::ClipKind;

// Registers the platform's media server and the filter library into this process's store.
// False when the filter library is not part of the build.
bool RegisterServers() {
    const fs::path bin = fs::path(FRAMZEL_BINARY_DIR) / "bin";
    if (!fs::exists(bin / "libfzdsp.so") || !fs::exists(bin / "libfzmedia.so"))
        return false;
    for (const char* library : {"libfzmedia.so", "libfzdsp.so"}) {
        const std::string command = "ASAN_OPTIONS=detect_leaks=0 '" + (bin / "fzregsvr").string() +
                                    "' '" + (bin / library).string() + "' >/dev/null";
        if (std::system(command.c_str()) != 0)
            return false;
    }
    return true;
}

struct Converted {
    bool ok = false;
    std::string movie;
    fz::MovieInspection inspection;
};

// No intermediate file of a conversion stays in drive C:.
void ExpectNothingInDriveC() {
    for (const auto& name : FolderEntries(DriveCDir()))
        EXPECT_EQ(name.rfind("fz_", 0), std::string::npos) << "left in drive C: " << name;
}

// Pumps the thread's messages until `done` or `timeoutMs` have passed.
bool PumpUntil(const std::function<bool()>& done, std::uint32_t timeoutMs) {
    const std::uint64_t end = fz::time::GetTickCount64() + timeoutMs;
    while (!done()) {
        if (fz::time::GetTickCount64() >= end)
            return false;
        fz::ui::PumpMessages();
        fz::ui::WaitMessage(5);
    }
    return true;
}

Converted Convert(const fs::path& source, const std::string& name, int jpegformat, int rotate,
                  int channels) {
    const auto dir = FreshWorkDir(name);
    fz::CFramzelCtrl ctrl;
    fz::ConvertParams params{};
    params.width = 176;
    params.height = 144;
    params.framerate = 5;
    params.rotate = rotate;
    params.samplerate = 8000;
    params.bitrate = 24000;
    params.channels = channels;
    params.quality = 80;
    params.jpegformat = jpegformat;
    std::strncpy(params.temp_path, dir.c_str(), sizeof params.temp_path - 1);
    ctrl.ConvertSetParam(reinterpret_cast<long>(&params));
    fz::Bool ok = fz::kFalse;
    const std::string target = (dir / "movie.mp4").string();
    ctrl.ConvertStart(source.c_str(), target.c_str(), fz::kTrue, &ok);
    Converted result;
    result.ok = ok != fz::kFalse;
    result.movie = ReadFile(target);
    result.inspection = fz::InspectMovie(
        {reinterpret_cast<const std::uint8_t*>(result.movie.data()), result.movie.size()});
    // Nothing but the movie stays in the temporary folder.
    for (const auto& name2 : FolderEntries(dir))
        EXPECT_EQ(name2, "movie.mp4") << "left behind: " << name2;
    return result;
}

class ConvertEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!RegisterServers())
            GTEST_SKIP() << "the filter library is not part of this build";
    }
};

TEST_F(ConvertEndToEndTest, EverySourceKindBecomesASoundMovie) {
    struct Case {
        ClipKind kind;
        int jpegformat;
        int rotate;
        int channels;
    };
    const std::vector<Case> cases = {
        {ClipKind::AviMpeg4Mp3, 1, 0, 2},    {ClipKind::AviMsmpeg4v2Pcm8, 0, 0, 1},
        {ClipKind::Mpeg1System, 1, 90, 2},   {ClipKind::AsfWmv2Wmav2, 0, 0, 2},
        {ClipKind::WmvWmv1Wmav1, 1, 270, 1}, {ClipKind::AviMpeg4Ac3Surround, 1, 0, 2},
    };
    for (const Case& c : cases) {
        const auto& info = fz::mediagen::KindInfo(c.kind);
        SCOPED_TRACE(std::string(info.name));
        const fs::path source = GeneratedClip(c.kind);
        const Converted result =
            Convert(source, std::string(info.name), c.jpegformat, c.rotate, c.channels);
        ASSERT_TRUE(result.ok);
        for (const auto& fault : result.inspection.faults)
            ADD_FAILURE() << fault;
        // The control exchanges 90 and 270; the picture is turned, so its sides are exchanged.
        const bool turned = c.rotate == 90 || c.rotate == 270;
        EXPECT_EQ(result.inspection.width, turned ? 144u : 176u);
        EXPECT_EQ(result.inspection.height, turned ? 176u : 144u);
        // 2 s at 6.01 pictures per second (the filter adds 1 to the 5.01 it is given).
        EXPECT_NEAR(static_cast<double>(result.inspection.frames.size()), 12.0, 1.5);
        EXPECT_NEAR(static_cast<double>(result.inspection.SoundDurationMs()), 2000.0, 150.0);
        WriteFile(WorkDir() / "e2e-sound.wav",
                  result.movie.substr(176 + result.inspection.videoSize));
        const auto sound = SoxDecode(WorkDir() / "e2e-sound.wav");
        EXPECT_GT(RelativePower(sound, 8000, 1000), 0.5) << "the 1 kHz tone dominates";
    }
}

TEST_F(ConvertEndToEndTest, FlashAndClickStayWithinOneFrameOfEachOther) {
    auto options = StandardClipOptions(ClipKind::AviMpeg4Mp3);
    options.durationSeconds = 4.0;
    options.markerSeconds = 2.0;
    const fs::path source = GeneratedClip("marker.avi", options);
    const Converted result = Convert(source, "marker", 1, 0, 1);
    ASSERT_TRUE(result.ok);
    const auto& r = result.inspection;
    // The brightest frame is the flash.
    long flashMs = -1;
    double brightest = 0;
    for (const auto& frame : r.frames) {
        const auto path = WorkDir() / "marker-frame.jpg";
        WriteFile(path, result.movie.substr(frame.offset + 8, frame.length));
        const auto decoded = DecodeJpegFile(path.string());
        ASSERT_TRUE(decoded);
        double sum = 0;
        for (std::uint8_t v : decoded->rgb)
            sum += v;
        const double mean = sum / static_cast<double>(decoded->rgb.size());
        if (mean > brightest) {
            brightest = mean;
            flashMs =
                static_cast<long>(frame.timeStampMs) + static_cast<long>(r.videoStartOffsetMs);
        }
    }
    ASSERT_GT(brightest, 200.0);
    // The loudest sample is the click.
    const auto samples = fz::DecodeMovieSound(
        {reinterpret_cast<const std::uint8_t*>(result.movie.data()) + r.adpcmOffset, r.adpcmSize},
        r.soundFrames);
    std::size_t loudest = 0;
    for (std::size_t i = 0; i < samples.size(); ++i)
        if (std::abs(samples[i]) > std::abs(samples[loudest]))
            loudest = i;
    const long clickMs = static_cast<long>(loudest * 1000 / 8000);
    EXPECT_LE(std::abs(flashMs - clickMs), 1000 / 6 + 1)
        << "flash " << flashMs << " click " << clickMs;
}

TEST_F(ConvertEndToEndTest, StopFromInsideThePumpWritesWhatWasConverted) {
    auto options = StandardClipOptions(ClipKind::AviMpeg4Mp3);
    options.durationSeconds = 30.0;
    const fs::path source = GeneratedClip("long.avi", options);
    const auto dir = FreshWorkDir("stop");
    fz::CFramzelCtrl ctrl;
    fz::ConvertParams params{};
    params.width = 176;
    params.height = 144;
    params.framerate = 5;
    params.samplerate = 8000;
    params.bitrate = 24000;
    params.channels = 1;
    params.quality = 80;
    params.jpegformat = 1;
    std::strncpy(params.temp_path, dir.c_str(), sizeof params.temp_path - 1);
    ctrl.ConvertSetParam(reinterpret_cast<long>(&params));
    int polls = 0;
    bool alwaysTwo = true;
    const auto previous = fz::ui::SetMessagePump([&] {
        short state = 0;
        ctrl.GetConvertState(&state);
        alwaysTwo = alwaysTwo && state == 2;
        long current = 0;
        ctrl.ConvertGetCurrentTime(&current);
        if (++polls == 3 || current > 3000) {
            fz::Bool stopped = fz::kFalse;
            ctrl.ConvertStop(&stopped);
        }
    });
    fz::Bool ok = fz::kFalse;
    const std::string target = (dir / "movie.mp4").string();
    ctrl.ConvertStart(source.c_str(), target.c_str(), fz::kTrue, &ok);
    fz::ui::SetMessagePump(previous);
    EXPECT_EQ(ok, fz::kTrue);
    EXPECT_TRUE(alwaysTwo) << "GetConvertState is 2 throughout";
    const std::string movie = ReadFile(target);
    const auto r =
        fz::InspectMovie({reinterpret_cast<const std::uint8_t*>(movie.data()), movie.size()});
    EXPECT_TRUE(r.IsSound());
    // The pictures stop where the conversion stood (the sound may have been decoded ahead).
    EXPECT_GT(r.frames.size(), 0u);
    EXPECT_LT(r.frames.size(), 150u) << "only what was converted before the stop";
    short state = -1;
    ctrl.GetConvertState(&state);
    EXPECT_EQ(state, 0);
}

// Movie-make mode: the graph previews into the window; Record starts the writing and Stop
// writes the movie from what was recorded. Stopped before Record, nothing is written.
TEST_F(ConvertEndToEndTest, MovieMakeModeWritesOnlyWhatWasRecorded) {
    auto options = StandardClipOptions(ClipKind::AviMpeg4Mp3);
    options.durationSeconds = 6.0;
    const fs::path source = GeneratedClip("make.avi", options);
    for (const bool record : {true, false}) {
        SCOPED_TRACE(record ? "Start, Record, Stop" : "Start, Stop");
        const auto dir = FreshWorkDir(record ? "make-record" : "make-stop");
        const fz::ui::WindowHandle window = fz::ui::CreateOffscreenWindow(200, 160);
        ASSERT_NE(window, 0u);
        fz::CFramzelCtrl ctrl;
        fz::ConvertParams params{};
        params.width = 176;
        params.height = 144;
        params.framerate = 5;
        params.samplerate = 8000;
        params.bitrate = 24000;
        params.channels = 1;
        params.quality = 80;
        params.jpegformat = 1;
        std::strncpy(params.temp_path, dir.c_str(), sizeof params.temp_path - 1);
        ctrl.ConvertSetParam(reinterpret_cast<long>(&params));
        ctrl.SetPreviewWindow(static_cast<long>(window), 0, 0, 176, 144);
        const std::string target = (dir / "movie.mp4").string();
        fz::Bool ok = fz::kFalse;
        ctrl.ConvertStart(source.c_str(), target.c_str(), fz::kFalse, &ok);
        ASSERT_EQ(ok, fz::kTrue);
        short state = -1;
        ctrl.GetConvertState(&state);
        EXPECT_EQ(state, 1) << "running, not writing";
        if (record) {
            ok = fz::kFalse;
            ctrl.ConvertRecord(&ok);
            EXPECT_EQ(ok, fz::kTrue);
            ctrl.GetConvertState(&state);
            EXPECT_EQ(state, 2);
        }
        // Let the graph play for a while, then stop it.
        EXPECT_TRUE(PumpUntil(
            [&] {
                long current = 0;
                ctrl.ConvertGetCurrentTime(&current);
                return current >= 2000;
            },
            20000));
        fz::ui::WindowPicture picture;
        ASSERT_TRUE(fz::ui::ReadWindowPicture(window, &picture));
        EXPECT_GT(picture.drawCount, 0u) << "the graph previews into the window";
        ok = fz::kFalse;
        ctrl.ConvertStop(&ok);
        EXPECT_EQ(ok, fz::kTrue);
        ctrl.GetConvertState(&state);
        EXPECT_EQ(state, 0);
        fz::ui::DestroyWindow(window);

        const std::string movie = ReadFile(target);
        if (record) {
            const auto r = fz::InspectMovie(
                {reinterpret_cast<const std::uint8_t*>(movie.data()), movie.size()});
            for (const auto& fault : r.faults)
                ADD_FAILURE() << fault;
            EXPECT_EQ(r.width, 176u);
            EXPECT_EQ(r.height, 144u);
            EXPECT_GT(r.frames.size(), 0u);
            EXPECT_GT(r.SoundDurationMs(), 0u);
            for (const auto& name : FolderEntries(dir))
                EXPECT_EQ(name, "movie.mp4") << "left behind: " << name;
        } else {
            EXPECT_FALSE(fs::exists(target)) << "nothing recorded, nothing written";
            for (const auto& name : FolderEntries(dir))
                ADD_FAILURE() << "left behind: " << name;
        }
        ExpectNothingInDriveC();
    }
}

// A source cut to half its bytes (the end of the stream and the AVI index are gone) converts
// what decodes into a sound movie, or fails and leaves nothing behind.
TEST_F(ConvertEndToEndTest, TruncatedSourceConvertsWhatDecodesOrFailsCleanly) {
    for (const ClipKind kind : {ClipKind::AviMpeg4Mp3, ClipKind::Mpeg1System}) {
        const auto& info = fz::mediagen::KindInfo(kind);
        SCOPED_TRACE(std::string(info.name));
        const fs::path whole = GeneratedClip(kind);
        const std::string bytes = ReadFile(whole);
        ASSERT_GT(bytes.size(), 1000u);
        const fs::path cut =
            WorkDir() / ("half-" + std::string(info.name) + whole.extension().string());
        WriteFile(cut, bytes.substr(0, bytes.size() / 2));
        const Converted result = Convert(cut, "half-" + std::string(info.name), 1, 0, 1);
        if (result.ok) {
            for (const auto& fault : result.inspection.faults)
                ADD_FAILURE() << fault;
            EXPECT_GT(result.inspection.frames.size(), 0u);
            EXPECT_LE(result.inspection.SoundDurationMs(), 2150u);
        } else {
            EXPECT_TRUE(result.movie.empty()) << "a failed conversion leaves no movie";
        }
        ExpectNothingInDriveC();
    }
}

} // namespace
