#include "platform/com/ComRuntime.h"
#include "platform/com/ServerModule.h"
#include "platform/media/base/GraphInterfaces.h"
#include "platform/media/server/VersionKeys.h"
#include "platform/registry/Registry.h"
#include "tests/support/GeneratedMedia.h"
#include "tests/support/IsolatedEnvironment.h"

#include <array>
#include <chrono>
#include <dlfcn.h>
#include <gtest/gtest.h>

namespace {

using namespace fz::media;
using fz::com::CLSCTX_INPROC_SERVER;
using fz::com::CoCreateInstance;
using fz::com::ComPtr;
using fz::com::S_OK;
namespace reg = fz::registry;
using Clock = std::chrono::steady_clock;

const std::string kServer = FZ_MEDIA_SERVER_PATH;

// Calls one of the server's registration entry points (the library stays loaded).
fz::com::HRESULT CallServer(const char* entry) {
    void* library = dlopen(kServer.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
        return fz::com::E_FAIL;
    auto function = reinterpret_cast<fz::com::DllRegisterServerFunction>(dlsym(library, entry));
    return function ? function() : fz::com::E_FAIL;
}

bool KeyExists(const char* path) {
    reg::Key key;
    return reg::OpenKey(reg::Hive::LocalMachine, path, reg::Access::Read, &key) == reg::kSuccess;
}

std::string InstalledVersion() {
    reg::Key key;
    if (reg::OpenKey(reg::Hive::LocalMachine, "Software\\Microsoft\\DirectX", reg::Access::Read,
                     &key) != reg::kSuccess)
        return "<no key>";
    std::array<unsigned char, 8> bytes{};
    std::uint32_t size = bytes.size();
    if (key.QueryValue("InstalledVersion", bytes.data(), &size) != reg::kSuccess || size != 8)
        return "<no value>";
    std::string text;
    for (unsigned char byte : bytes)
        text += std::to_string(byte) + " ";
    return text;
}

constexpr std::array kClasses = {CLSID_FilterGraph, CLSID_VideoRenderer, CLSID_DSoundRender,
                                 CLSID_NullRenderer, CLSID_SystemClock};

TEST(MediaServerTest, RegistrationWritesTheClassesAndTheVersionKeys) {
    ASSERT_EQ(CallServer("DllRegisterServer"), S_OK);
    for (const auto& clsid : kClasses)
        EXPECT_EQ(fz::com::InprocServerPath(clsid), kServer) << fz::com::FormatGuid(clsid);
    // The FFmpeg of this machine decodes every codec the keys stand for.
    const MediaDecoders decoders = ProbeMediaDecoders();
    ASSERT_TRUE(decoders.directShow81 && decoders.mediaPlayer9);
    EXPECT_EQ(InstalledVersion(), "0 0 0 8 0 0 0 1 ");
    EXPECT_TRUE(KeyExists("Software\\Microsoft\\MediaPlayer\\9.0"));

    ASSERT_EQ(CallServer("DllUnregisterServer"), S_OK);
    for (const auto& clsid : kClasses)
        EXPECT_EQ(fz::com::InprocServerPath(clsid), "");
    EXPECT_EQ(InstalledVersion(), "<no value>");
    EXPECT_FALSE(KeyExists("Software\\Microsoft\\MediaPlayer\\9.0"));
}

TEST(MediaServerTest, VersionKeysStandOnlyForWhatCanBeDecoded) {
    struct Case {
        MediaDecoders decoders;
        const char* installed;
        bool mediaPlayer9;
    };
    const Case cases[] = {
        {{true, true}, "0 0 0 8 0 0 0 1 ", true},
        {{false, true}, "<no value>", true},
        {{true, false}, "0 0 0 8 0 0 0 1 ", false},
        {{false, false}, "<no value>", false},
    };
    // Each case follows the one before: keys written earlier are removed when their codecs go.
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.decoders.directShow81) + "/" +
                     std::to_string(c.decoders.mediaPlayer9));
        ASSERT_EQ(WriteVersionKeys(c.decoders), S_OK);
        EXPECT_EQ(InstalledVersion(), c.installed);
        EXPECT_EQ(KeyExists("Software\\Microsoft\\MediaPlayer\\9.0"), c.mediaPlayer9);
    }
}

class ConversionGraphTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CallServer("DllRegisterServer"), S_OK); }

    // The driver's first steps: the graph, the two renderers added sound first, RenderFile.
    fz::com::HRESULT BuildAndRender(const std::filesystem::path& file) {
        EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, &m_graph),
                  S_OK);
        EXPECT_EQ(CoCreateInstance(CLSID_VideoRenderer, nullptr, CLSCTX_INPROC_SERVER, &m_video),
                  S_OK);
        EXPECT_EQ(CoCreateInstance(CLSID_DSoundRender, nullptr, CLSCTX_INPROC_SERVER, &m_sound),
                  S_OK);
        if (!m_graph || !m_video || !m_sound)
            return fz::com::E_FAIL;
        EXPECT_EQ(m_graph->AddFilter(m_sound.Get(), "Audio Render"), S_OK);
        EXPECT_EQ(m_graph->AddFilter(m_video.Get(), "Video Render"), S_OK);
        return m_graph->RenderFile(file.c_str(), nullptr);
    }
    // The output pin connected to the filter's first input pin, or null.
    static ComPtr<IPin> Upstream(IBaseFilter* filter) {
        ComPtr<IPin> input;
        ComPtr<IPin> upstream;
        if (filter->FindPin("Input", input.ReleaseAndGetAddressOf()) == S_OK)
            input->ConnectedTo(upstream.ReleaseAndGetAddressOf());
        return upstream;
    }

    ComPtr<IGraphBuilder> m_graph;
    ComPtr<IBaseFilter> m_video;
    ComPtr<IBaseFilter> m_sound;
};

// The whole fast-mode sequence of the conversion driver against the server's classes: the
// renderers make way for two null renderers and the graph runs as fast as it decodes.
TEST_F(ConversionGraphTest, FastModeSequenceRunsAGeneratedFileToItsEnd) {
    const auto clip = fz::test::GeneratedClip(fz::mediagen::ClipKind::AviMpeg4Mp3);
    ASSERT_FALSE(clip.empty());
    ASSERT_EQ(BuildAndRender(clip), S_OK);

    ComPtr<IPin> videoSource = Upstream(m_video.Get());
    ComPtr<IPin> soundSource = Upstream(m_sound.Get());
    ASSERT_TRUE(videoSource && soundSource);
    for (IBaseFilter* renderer : {m_video.Get(), m_sound.Get()}) {
        ComPtr<IPin> input;
        ASSERT_EQ(renderer->FindPin("Input", input.ReleaseAndGetAddressOf()), S_OK);
        ComPtr<IPin> upstream = Upstream(renderer);
        ASSERT_EQ(m_graph->Disconnect(upstream.Get()), S_OK);
        ASSERT_EQ(m_graph->Disconnect(input.Get()), S_OK);
        ASSERT_EQ(m_graph->RemoveFilter(renderer), S_OK);
    }
    ComPtr<IBaseFilter> soundSink;
    ComPtr<IBaseFilter> videoSink;
    ASSERT_EQ(CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, &soundSink),
              S_OK);
    ASSERT_EQ(CoCreateInstance(CLSID_NullRenderer, nullptr, CLSCTX_INPROC_SERVER, &videoSink),
              S_OK);
    ASSERT_EQ(m_graph->AddFilter(soundSink.Get(), "Audio Render"), S_OK);
    ASSERT_EQ(m_graph->AddFilter(videoSink.Get(), "Video Render"), S_OK);
    ComPtr<IPin> sinkInput;
    ASSERT_EQ(videoSink->FindPin("Input", sinkInput.ReleaseAndGetAddressOf()), S_OK);
    ASSERT_EQ(m_graph->Connect(videoSource.Get(), sinkInput.Get()), S_OK);
    ASSERT_EQ(soundSink->FindPin("Input", sinkInput.ReleaseAndGetAddressOf()), S_OK);
    ASSERT_EQ(m_graph->Connect(soundSource.Get(), sinkInput.Get()), S_OK);

    ComPtr<IMediaSeeking> seeking;
    ComPtr<IMediaControl> control;
    ComPtr<IMediaEvent> events;
    ComPtr<IVideoWindow> window;
    ASSERT_EQ(m_graph.As(&seeking), S_OK);
    ASSERT_EQ(m_graph.As(&control), S_OK);
    ASSERT_EQ(m_graph.As(&events), S_OK);
    ASSERT_EQ(m_graph.As(&window), S_OK);
    std::uint32_t capabilities = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanGetDuration;
    EXPECT_EQ(seeking->CheckCapabilities(&capabilities), S_OK);
    std::int64_t duration = 0;
    ASSERT_EQ(seeking->GetDuration(&duration), S_OK);
    EXPECT_NEAR(static_cast<double>(duration), 2.0 * kUnitsPerSecond, 0.04 * kUnitsPerSecond);
    EXPECT_EQ(window->put_Owner(0), fz::com::E_NOINTERFACE) << "no video renderer any more";

    ASSERT_EQ(control->Run(), S_OK);
    ComPtr<IReferenceClock> clock;
    ASSERT_EQ(videoSink->GetSyncSource(clock.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(clock, nullptr) << "null renderers only: a graph without a clock";
    long code = 0;
    std::int64_t current = 0;
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (Clock::now() < deadline) {
        if (events->WaitForCompletion(100, &code) == S_OK && code != 0)
            break;
        ASSERT_EQ(seeking->GetCurrentPosition(&current), S_OK);
        if (current >= duration)
            break;
    }
    EXPECT_EQ(events->WaitForCompletion(10000, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    ASSERT_EQ(seeking->GetCurrentPosition(&current), S_OK);
    EXPECT_GE(current, duration);
    EXPECT_EQ(control->Stop(), S_OK);
}

TEST_F(ConversionGraphTest, SourceWithoutSoundLeavesTheSoundRendererUnconnected) {
    const auto clip = fz::test::GeneratedClip(fz::mediagen::ClipKind::AviVideoOnly);
    ASSERT_FALSE(clip.empty());
    ASSERT_EQ(BuildAndRender(clip), S_OK);
    EXPECT_TRUE(Upstream(m_video.Get()));
    EXPECT_FALSE(Upstream(m_sound.Get()));
}

// Movie-make mode plays in real time on the sound renderer's clock (FRAMZEL_AUDIO=null in
// tests: a silent device paced like a real one).
TEST_F(ConversionGraphTest, RenderedFilePlaysInRealTime) {
    const auto clip = fz::test::GeneratedClip(fz::mediagen::ClipKind::AviMpeg4Mp3);
    ASSERT_FALSE(clip.empty());
    ASSERT_EQ(BuildAndRender(clip), S_OK);
    ComPtr<IMediaControl> control;
    ComPtr<IMediaEvent> events;
    ComPtr<IVideoWindow> window;
    ASSERT_EQ(m_graph.As(&control), S_OK);
    ASSERT_EQ(m_graph.As(&events), S_OK);
    ASSERT_EQ(m_graph.As(&window), S_OK);
    // The graph's video window is the video renderer's.
    EXPECT_EQ(window->put_Visible(OAFALSE), S_OK);
    EXPECT_EQ(window->SetWindowPosition(10, 20, 176, 144), S_OK);
    long left = 0;
    long top = 0;
    long width = 0;
    long height = 0;
    EXPECT_EQ(window->GetWindowPosition(&left, &top, &width, &height), S_OK);
    EXPECT_EQ(width, 176);
    EXPECT_EQ(height, 144);
    ComPtr<IVideoWindow> rendererWindow;
    ASSERT_EQ(m_video->QueryInterface(IVideoWindow::kIid, rendererWindow.PutVoid()), S_OK);
    EXPECT_EQ(rendererWindow->get_Width(&width), S_OK);
    EXPECT_EQ(width, 176);
    const auto start = Clock::now();
    ASSERT_EQ(control->Run(), S_OK);
    ComPtr<IReferenceClock> clock;
    ASSERT_EQ(m_video->GetSyncSource(clock.ReleaseAndGetAddressOf()), S_OK);
    ComPtr<IReferenceClock> soundClock;
    ASSERT_EQ(m_sound->QueryInterface(IReferenceClock::kIid, soundClock.PutVoid()), S_OK);
    EXPECT_EQ(clock.Get(), soundClock.Get()) << "the sound renderer gives the clock";
    long code = 0;
    EXPECT_EQ(events->WaitForCompletion(10000, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_GE(seconds, 1.9);
    EXPECT_LE(seconds, 3.5);
    EXPECT_EQ(control->Stop(), S_OK);
}

} // namespace
