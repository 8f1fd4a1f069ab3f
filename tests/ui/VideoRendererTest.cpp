#include "platform/media/base/GraphInterfaces.h"
#include "platform/media/graph/RendererClasses.h"
#include "platform/ui/WindowPicture.h"
#include "tests/audio/support/GraphRig.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <mutex>
#include <thread>

namespace {

using namespace fz;
using namespace fz::test;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using media::kUnitsPerMs;

constexpr int kWidth = 64;
constexpr int kHeight = 48;

// RGB32 bottom-up pictures of one colour each: picture i is 0x00RRGGBB = Colour(i), except
// its top-left pixel (the last row in memory), which is white to show the orientation.
std::uint32_t Colour(int i) {
    return 0x00102030u + static_cast<std::uint32_t>(i) * 0x00050301u;
}

std::vector<ScriptedSample> PictureScript(int count, int intervalMs, int firstMs = 0) {
    std::vector<ScriptedSample> script;
    for (int i = 0; i < count; ++i) {
        ScriptedSample s;
        s.start = (firstMs + i * intervalMs) * kUnitsPerMs;
        s.stop = s.start + intervalMs * kUnitsPerMs;
        s.bytes.resize(kWidth * kHeight * 4);
        for (int p = 0; p < kWidth * kHeight; ++p) {
            const std::uint32_t v = p == (kHeight - 1) * kWidth ? 0x00FFFFFFu : Colour(i);
            std::memcpy(&s.bytes[static_cast<std::size_t>(p) * 4], &v, 4);
        }
        script.push_back(std::move(s));
    }
    return script;
}

media::CMediaType PictureType() {
    return media::MakeVideoType(media::MEDIASUBTYPE_RGB32, kWidth, kHeight, 1000000);
}

struct DrawLog {
    std::mutex mutex;
    std::vector<std::pair<Clock::time_point, std::uint32_t>> draws; // time, colour in the middle
};

TEST(VideoRendererTest, PresentsEachPictureAtItsTimeStretchedIntoItsRectangle) {
    const ui::WindowHandle owner = ui::CreateOffscreenWindow(200, 150);
    GraphRig rig;
    ASSERT_EQ(rig.Build(&media::CreateVideoRenderer, PictureType(), kWidth * kHeight * 4,
                        PictureScript(10, 100)),
              com::S_OK);
    com::ComPtr<media::IVideoWindow> window;
    ASSERT_EQ(rig.renderer.As(&window), com::S_OK);
    // As the conversion driver places the preview.
    ASSERT_EQ(window->put_Owner(static_cast<media::OAHWND>(owner)), com::S_OK);
    window->put_Left(10);
    window->put_Top(20);
    window->put_Width(160);
    window->put_Height(100);
    window->put_WindowStyle(0x42000000);
    window->put_Visible(media::OATRUE);

    DrawLog log;
    ui::SetDrawObserver(owner, [&](ui::WindowHandle, const ui::Rect& changed) {
        ui::WindowPicture picture;
        ui::ReadWindowPicture(owner, &picture);
        std::lock_guard lock(log.mutex);
        if (!changed.Empty())
            log.draws.emplace_back(Clock::now(), picture.At(90, 70));
    });
    const auto start = Clock::now();
    ASSERT_EQ(rig.control->Run(), com::S_OK);
    EXPECT_EQ(rig.WaitForCompletion(10s), media::EC_COMPLETE);
    rig.control->Stop();

    std::lock_guard lock(log.mutex);
    // The first picture may be drawn twice (once as the still of the pause before running).
    ASSERT_GE(log.draws.size(), 10u);
    const std::size_t skip = log.draws.size() - 10;
    const auto first = log.draws[skip].first;
    EXPECT_LE(std::chrono::duration<double>(first - start).count(), 0.3);
    for (int i = 0; i < 10; ++i) {
        const auto& [when, colour] = log.draws[skip + static_cast<std::size_t>(i)];
        EXPECT_EQ(colour, Colour(i)) << i;
        // Each picture 100 ms after the one before, on the clock that started with the first.
        const double at = std::chrono::duration<double>(when - first).count();
        EXPECT_GE(at, 0.1 * i - 0.02) << i;
        EXPECT_LE(at, 0.1 * i + 0.06) << i;
    }
    // Stretched to the rectangle, the right way up, nothing outside it.
    ui::WindowPicture picture;
    ASSERT_TRUE(ui::ReadWindowPicture(owner, &picture));
    EXPECT_EQ(picture.At(10, 20), 0x00FFFFFFu);
    // 64 × 48 into 160 × 100: the top-left source pixel covers two columns and two rows.
    EXPECT_EQ(picture.At(11, 21), 0x00FFFFFFu);
    EXPECT_EQ(picture.At(12, 21), Colour(9));
    EXPECT_EQ(picture.At(11, 22), Colour(9));
    EXPECT_EQ(picture.At(169, 119), Colour(9));
    EXPECT_EQ(picture.At(9, 20), 0u);
    EXPECT_EQ(picture.At(170, 119), 0u);
    EXPECT_EQ(picture.At(169, 120), 0u);
    ui::DestroyWindow(owner);
}

TEST(VideoRendererTest, VideoWindowPlacesTheRenderersWindow) {
    com::ComPtr<media::IBaseFilter> renderer;
    ASSERT_EQ(media::CreateVideoRenderer(nullptr, media::IBaseFilter::kIid, renderer.PutVoid()),
              com::S_OK);
    com::ComPtr<media::IVideoWindow> window;
    ASSERT_EQ(renderer.As(&window), com::S_OK);
    const ui::WindowHandle owner = ui::CreateOffscreenWindow(320, 240);

    long visible = 1;
    window->get_Visible(&visible);
    EXPECT_EQ(visible, media::OAFALSE); // hidden until shown or until the graph runs

    ASSERT_EQ(window->put_Owner(static_cast<media::OAHWND>(owner)), com::S_OK);
    ASSERT_EQ(window->SetWindowPosition(5, 6, 70, 80), com::S_OK);
    long left = 0, top = 0, width = 0, height = 0;
    ASSERT_EQ(window->GetWindowPosition(&left, &top, &width, &height), com::S_OK);
    EXPECT_EQ((std::array{left, top, width, height}), (std::array{5L, 6L, 70L, 80L}));
    window->put_Height(90);
    window->get_Height(&height);
    EXPECT_EQ(height, 90);
    window->get_Left(&left);
    EXPECT_EQ(left, 5);

    ASSERT_EQ(window->put_WindowStyle(0x42000000), com::S_OK);
    long style = 0;
    window->get_WindowStyle(&style);
    EXPECT_EQ(style, 0x42000000);
    EXPECT_EQ(window->put_WindowStyle(0x42000000 | 0x00200000), com::E_INVALIDARG); // scroll bar
    ASSERT_EQ(window->put_Visible(media::OATRUE), com::S_OK);
    window->get_Visible(&visible);
    EXPECT_EQ(visible, media::OATRUE);

    media::OAHWND got = 0;
    window->get_Owner(&got);
    EXPECT_EQ(got, static_cast<media::OAHWND>(owner));
    EXPECT_EQ(window->put_Owner(0x7777), com::E_INVALIDARG);
    EXPECT_EQ(window->put_Width(-1), com::E_INVALIDARG);
    EXPECT_EQ(window->get_Width(nullptr), com::E_POINTER);

    // Back to a window of its own when the owner is taken away.
    ASSERT_EQ(window->put_Owner(0), com::S_OK);
    window->get_WindowStyle(&style);
    EXPECT_EQ(style & 0x40000000, 0);
    ui::DestroyWindow(owner);
}

TEST(VideoRendererTest, PausedShowsTheFirstPictureAndStopOrFlushReleaseTheWait) {
    for (const bool flush : {false, true}) {
        SCOPED_TRACE(flush ? "flush" : "stop");
        const ui::WindowHandle owner = ui::CreateOffscreenWindow(kWidth, kHeight);
        GraphRig rig;
        // Pictures due far in the future: the streaming thread waits for the clock.
        ASSERT_EQ(rig.Build(&media::CreateVideoRenderer, PictureType(), kWidth * kHeight * 4,
                            PictureScript(3, 5000)),
                  com::S_OK);
        com::ComPtr<media::IVideoWindow> window;
        rig.renderer.As(&window);
        window->put_Owner(static_cast<media::OAHWND>(owner));
        window->SetWindowPosition(0, 0, kWidth, kHeight);
        window->put_Visible(media::OATRUE);

        ASSERT_TRUE(com::Succeeded(rig.control->Pause()));
        ui::WindowPicture picture;
        for (int i = 0; i < 200 && picture.drawCount == 0; ++i) {
            std::this_thread::sleep_for(5ms);
            ui::ReadWindowPicture(owner, &picture);
        }
        EXPECT_EQ(picture.At(kWidth / 2, kHeight / 2), Colour(0)); // the still
        ASSERT_EQ(rig.control->Run(), com::S_OK);
        std::this_thread::sleep_for(300ms); // picture 1 (due at 5 s) is waited for now
        const auto start = Clock::now();
        if (flush) {
            ASSERT_EQ(rig.RendererInput()->BeginFlush(), com::S_OK);
            rig.source->Join();
            EXPECT_EQ(rig.source->LastResult(), com::S_FALSE);
            rig.RendererInput()->EndFlush();
        } else {
            ASSERT_EQ(rig.control->Stop(), com::S_OK);
            rig.source->Join();
        }
        EXPECT_LT(SecondsSince(start), 0.5);
        EXPECT_LE(rig.source->Delivered(), 1);
        rig.control->Stop();
        ui::DestroyWindow(owner);
    }
}

TEST(VideoRendererTest, TakesUncompressedRgbPicturesOnly) {
    com::ComPtr<media::IBaseFilter> renderer;
    ASSERT_EQ(media::CreateVideoRenderer(nullptr, media::IBaseFilter::kIid, renderer.PutVoid()),
              com::S_OK);
    media::IPin* input = nullptr;
    ASSERT_EQ(renderer->FindPin("Input", &input), com::S_OK);
    media::CMediaType mismatched = media::MakeVideoType(media::MEDIASUBTYPE_RGB32, 16, 16, 0);
    mismatched.SetSubtype(media::MEDIASUBTYPE_RGB24); // says 24 bits, header says 32
    media::CMediaType huge = media::MakeVideoType(media::MEDIASUBTYPE_RGB32, 40000, 16, 0);
    media::CMediaType noFormat = media::MakeVideoType(media::MEDIASUBTYPE_RGB32, 16, 16, 0);
    noFormat.ResetFormatBuffer();
    struct Case {
        const char* name;
        const media::CMediaType type;
        bool accepted;
    };
    const Case cases[] = {
        {"RGB32", media::MakeVideoType(media::MEDIASUBTYPE_RGB32, 320, 240, 0), true},
        {"RGB24 odd width", media::MakeVideoType(media::MEDIASUBTYPE_RGB24, 175, 3, 0), true},
        {"subtype and depth differ", mismatched, false},
        {"wider than drawing takes", huge, false},
        {"no format block", noFormat, false},
        {"sound", media::MakePcmType(8000, 1, 16), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(input->QueryAccept(&c.type), c.accepted ? com::S_OK : com::S_FALSE);
    }
    input->Release();
}

} // namespace
