#include "platform/media/base/GraphInterfaces.h"
#include "platform/media/graph/RendererClasses.h"
#include "tests/audio/support/GraphRig.h"
#include "tests/support/IsolatedEnvironment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

namespace {

using namespace fz;
using namespace fz::test;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using media::kUnitsPerMs;

struct PcmCase {
    const char* name;
    std::uint32_t rate;
    std::uint16_t channels;
    std::uint16_t bits;
};

std::uint32_t BytesPerSecond(const PcmCase& c) {
    return c.rate * c.channels * c.bits / 8;
}

// `seconds` of sound from `firstMs` in samples of 100 ms, each byte telling its place.
std::vector<ScriptedSample> SoundScript(const PcmCase& c, int tenths, int firstMs = 0) {
    std::vector<ScriptedSample> script;
    const std::uint32_t bytes = BytesPerSecond(c) / 10;
    std::uint32_t counter = 1;
    for (int i = 0; i < tenths; ++i) {
        ScriptedSample s;
        s.start = (firstMs + 100 * i) * kUnitsPerMs;
        s.stop = s.start + 100 * kUnitsPerMs;
        s.bytes.resize(bytes);
        for (auto& b : s.bytes)
            b = static_cast<std::uint8_t>(counter++ * 13 + 7);
        script.push_back(std::move(s));
    }
    return script;
}

std::string Concatenated(const std::vector<ScriptedSample>& script) {
    std::string all;
    for (const auto& s : script)
        all.append(s.bytes.begin(), s.bytes.end());
    return all;
}

// The sound bytes of a WAVE file written by the file output (after its 44-byte header).
std::string PlayedSound(const std::filesystem::path& path) {
    const std::string wave = ReadFile(path);
    return wave.size() >= 44 ? wave.substr(44) : std::string();
}

TEST(SoundRendererTest, PlaysAClipInRealTimeAndEveryByteReachesTheDevice) {
    const PcmCase cases[] = {{"16-bit stereo 22050", 22050, 2, 16},
                             {"8-bit mono 11025", 11025, 1, 8}};
    for (const PcmCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto path = WorkDir() / "rendered.wav";
        setenv("FRAMZEL_AUDIO", ("file:" + path.string()).c_str(), 1);
        const auto script = SoundScript(c, 20); // 2 s
        GraphRig rig;
        ASSERT_EQ(rig.Build(&media::CreateSoundRenderer,
                            media::MakePcmType(c.rate, c.channels, c.bits),
                            static_cast<long>(BytesPerSecond(c) / 10), script),
                  com::S_OK);
        const auto start = Clock::now();
        ASSERT_EQ(rig.control->Run(), com::S_OK);
        EXPECT_EQ(rig.WaitForCompletion(10s), media::EC_COMPLETE);
        const double elapsed = SecondsSince(start);
        EXPECT_GE(elapsed, 1.9);
        EXPECT_LE(elapsed, 2.5);
        EXPECT_EQ(rig.source->Delivered(), 20);
        rig.control->Stop();
        EXPECT_EQ(PlayedSound(path), Concatenated(script));
    }
}

TEST(SoundRendererTest, GivesTheGraphAClockThatFollowsThePlayedSound) {
    setenv("FRAMZEL_AUDIO", "null", 1);
    const PcmCase c{"16-bit mono 8000", 8000, 1, 16};
    GraphRig rig;
    ASSERT_EQ(rig.Build(&media::CreateSoundRenderer, media::MakePcmType(8000, 1, 16), 1600,
                        SoundScript(c, 20)),
              com::S_OK);
    com::ComPtr<media::IReferenceClock> clock;
    ASSERT_EQ(rig.renderer.As(&clock), com::S_OK);
    ASSERT_EQ(rig.control->Run(), com::S_OK);
    std::this_thread::sleep_for(200ms);
    media::REFERENCE_TIME first = 0;
    media::REFERENCE_TIME second = 0;
    clock->GetTime(&first);
    const auto wallStart = Clock::now();
    std::this_thread::sleep_for(800ms);
    clock->GetTime(&second);
    const double wall = SecondsSince(wallStart);
    const double advanced = static_cast<double>(second - first) / media::kUnitsPerSecond;
    EXPECT_NEAR(advanced, wall, 0.06);

    // Paused, the sound stops and the stream holds; it goes on after Run.
    ASSERT_EQ(rig.control->Pause(), com::S_OK);
    std::this_thread::sleep_for(500ms);
    const auto resumed = Clock::now();
    ASSERT_EQ(rig.control->Run(), com::S_OK);
    EXPECT_EQ(rig.WaitForCompletion(10s), media::EC_COMPLETE);
    // About 1 s of the 2 s was left when it paused.
    EXPECT_GE(SecondsSince(resumed), 0.8);
    EXPECT_LE(SecondsSince(resumed), 1.4);
}

TEST(SoundRendererTest, SoundThatStartsLateIsPrecededBySilence) {
    const auto path = WorkDir() / "late.wav";
    setenv("FRAMZEL_AUDIO", ("file:" + path.string()).c_str(), 1);
    const PcmCase c{"16-bit mono 8000", 8000, 1, 16};
    const auto script = SoundScript(c, 5, 400); // 0.5 s of sound from 400 ms
    GraphRig rig;
    ASSERT_EQ(rig.Build(&media::CreateSoundRenderer, media::MakePcmType(8000, 1, 16), 1600, script),
              com::S_OK);
    ASSERT_EQ(rig.control->Run(), com::S_OK);
    EXPECT_EQ(rig.WaitForCompletion(10s), media::EC_COMPLETE);
    rig.control->Stop();
    const std::string played = PlayedSound(path);
    const std::string sound = Concatenated(script);
    ASSERT_GE(played.size(), sound.size());
    const std::size_t silence = played.size() - sound.size();
    EXPECT_EQ(played.substr(silence), sound);
    EXPECT_EQ(played.substr(0, silence), std::string(silence, '\0'));
    // 400 ms at 16000 bytes per second, less the moment between Run and the first sample.
    EXPECT_LE(silence, 6400u);
    EXPECT_GE(silence, 5600u);
}

TEST(SoundRendererTest, StopAndFlushReleaseTheStreamingThreadAtOnce) {
    setenv("FRAMZEL_AUDIO", "null", 1);
    const PcmCase c{"16-bit stereo 44100", 44100, 2, 16};
    for (const bool flush : {false, true}) {
        SCOPED_TRACE(flush ? "flush" : "stop");
        GraphRig rig;
        ASSERT_EQ(rig.Build(&media::CreateSoundRenderer, media::MakePcmType(44100, 2, 16),
                            static_cast<long>(BytesPerSecond(c) / 10), SoundScript(c, 100)),
                  com::S_OK);
        ASSERT_EQ(rig.control->Run(), com::S_OK);
        std::this_thread::sleep_for(300ms); // the streaming thread now waits for the device
        const auto start = Clock::now();
        if (flush) {
            ASSERT_EQ(rig.RendererInput()->BeginFlush(), com::S_OK);
            rig.source->Join(); // its Receive came back refused
            EXPECT_EQ(rig.source->LastResult(), com::S_FALSE);
            rig.RendererInput()->EndFlush();
        } else {
            ASSERT_EQ(rig.control->Stop(), com::S_OK);
            rig.source->Join();
        }
        EXPECT_LT(SecondsSince(start), 0.5);
        EXPECT_LT(rig.source->Delivered(), 20);
        rig.control->Stop();
    }
}

TEST(SoundRendererTest, WithoutASoundDeviceTheGraphStillPlaysInRealTime) {
    setenv("FRAMZEL_AUDIO", "alsa:no_such_device_here", 1);
    const PcmCase c{"16-bit mono 8000", 8000, 1, 16};
    GraphRig rig;
    ASSERT_EQ(rig.Build(&media::CreateSoundRenderer, media::MakePcmType(8000, 1, 16), 1600,
                        SoundScript(c, 10)),
              com::S_OK);
    const auto start = Clock::now();
    ASSERT_EQ(rig.control->Run(), com::S_OK);
    EXPECT_EQ(rig.WaitForCompletion(10s), media::EC_COMPLETE);
    EXPECT_GE(SecondsSince(start), 0.9);
    EXPECT_LE(SecondsSince(start), 1.5);
    EXPECT_EQ(rig.source->Delivered(), 10);
}

TEST(SoundRendererTest, RefusesWhatWaveOutCannotPlay) {
    setenv("FRAMZEL_AUDIO", "null", 1);
    com::ComPtr<media::IBaseFilter> renderer;
    ASSERT_EQ(media::CreateSoundRenderer(nullptr, media::IBaseFilter::kIid, renderer.PutVoid()),
              com::S_OK);
    media::IPin* input = nullptr;
    ASSERT_EQ(renderer->FindPin("Input", &input), com::S_OK);
    struct Case {
        const char* name;
        media::CMediaType type;
        bool accepted;
    };
    media::CMediaType adpcm = media::MakePcmType(8000, 1, 4);
    const Case cases[] = {
        {"16-bit stereo 48000", media::MakePcmType(48000, 2, 16), true},
        {"8-bit mono 50 Hz", media::MakePcmType(50, 1, 8), true},
        {"24-bit", media::MakePcmType(44100, 2, 24), false},
        {"6 channels", media::MakePcmType(44100, 6, 16), false},
        {"4-bit", adpcm, false},
        {"video", media::MakeVideoType(media::MEDIASUBTYPE_RGB32, 16, 16, 400000), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(input->QueryAccept(&c.type), c.accepted ? com::S_OK : com::S_FALSE);
    }
    input->Release();
}

} // namespace
