#include "platform/media/graph/FilterGraph.h"
#include "platform/media/graph/RendererClasses.h"
#include "tests/media/support/TestFilters.h"
#include "tests/support/IsolatedEnvironment.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>

namespace {

using namespace fz::media;
using namespace fz::media::test;
using fz::com::ComPtr;
using fz::com::E_ABORT;
using fz::com::S_FALSE;
using fz::com::S_OK;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr REFERENCE_TIME kFrame = 40 * kUnitsPerMs; // 25 pictures per second
constexpr REFERENCE_TIME kSoundBlock = 100 * kUnitsPerMs;

CMediaType VideoType() {
    return MakeVideoType(MEDIASUBTYPE_RGB32, 4, 4, kFrame);
}

CMediaType SoundType() {
    return MakePcmType(22050, 2, 16);
}

// A gate a source thread waits at before a chosen sample, until the test opens it.
class Gate {
public:
    explicit Gate(std::size_t closedBefore)
        : m_closedBefore(closedBefore) {}
    void Wait(std::size_t index) {
        std::unique_lock lock(m_mutex);
        if (index == m_closedBefore) {
            m_reached = true;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_open; });
        }
    }
    bool WaitReached(std::chrono::milliseconds timeout) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [this] { return m_reached; });
    }
    void Open() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::size_t m_closedBefore;
    bool m_reached = false;
    bool m_open = false;
};

// Runs `call` and fails the test program at once if it does not return in time (a thread the
// graph should have released would otherwise hang the test).
template <class F>
auto WithinSeconds(int seconds, const char* what, F call) {
    auto result = std::async(std::launch::async, std::move(call));
    if (result.wait_for(std::chrono::seconds(seconds)) != std::future_status::ready) {
        ADD_FAILURE() << what << " did not return within " << seconds << " s";
        std::fflush(nullptr);
        std::_Exit(1);
    }
    return result.get();
}

class FilterGraphTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(CreateFilterGraph(nullptr, IGraphBuilder::kIid, m_graph.PutVoid()), S_OK);
        ASSERT_EQ(m_graph.As(&m_control), S_OK);
        ASSERT_EQ(m_graph.As(&m_seeking), S_OK);
        ASSERT_EQ(m_graph.As(&m_events), S_OK);
    }
    void TearDown() override {
        if (m_control)
            WithinSeconds(10, "Stop", [this] { return m_control->Stop(); });
    }

    ComPtr<IBaseFilter> AddSource(std::vector<StreamScript> streams, REFERENCE_TIME duration,
                                  CTestSource** object = nullptr) {
        ComPtr<IBaseFilter> source = MakeFilter<CTestSource>(object, std::move(streams), duration);
        EXPECT_EQ(m_graph->AddFilter(source.Get(), "Source"), S_OK);
        return source;
    }
    ComPtr<IBaseFilter> AddRenderer(const char* name, bool paced, CTestRenderer** object,
                                    GUID major = fz::com::GUID_NULL) {
        ComPtr<IBaseFilter> renderer = MakeFilter<CTestRenderer>(object, paced, major);
        EXPECT_TRUE(fz::com::Succeeded(m_graph->AddFilter(renderer.Get(), name)));
        return renderer;
    }
    HRESULT Connect(IBaseFilter* from, const char* output, IBaseFilter* to, const char* input) {
        return m_graph->Connect(PinOf(from, output).Get(), PinOf(to, input).Get());
    }
    long WaitForCompletion(long timeoutMs = 5000) {
        long code = 0;
        m_events->WaitForCompletion(timeoutMs, &code);
        return code;
    }
    std::int64_t CurrentPosition() {
        std::int64_t position = -1;
        EXPECT_EQ(m_seeking->GetCurrentPosition(&position), S_OK);
        return position;
    }

    ComPtr<IGraphBuilder> m_graph;
    ComPtr<IMediaControl> m_control;
    ComPtr<IMediaSeeking> m_seeking;
    ComPtr<IMediaEvent> m_events;
};

TEST_F(FilterGraphTest, ConnectDisconnectOneSideAndNames) {
    ComPtr<IBaseFilter> source = AddSource({EvenStream(VideoType(), 3, kFrame)}, 3 * kFrame);
    CTestRenderer* soundOnly = nullptr;
    ComPtr<IBaseFilter> audioRenderer =
        AddRenderer("Audio Render", false, &soundOnly, MEDIATYPE_Audio);
    CTestRenderer* any = nullptr;
    ComPtr<IBaseFilter> videoRenderer = AddRenderer("Video Render", false, &any);

    // Names: a second "Video Render" gets a number; FindFilterByName finds each.
    CTestRenderer* third = nullptr;
    ComPtr<IBaseFilter> another = MakeFilter<CTestRenderer>(&third, false, fz::com::GUID_NULL);
    EXPECT_EQ(m_graph->AddFilter(another.Get(), "Video Render"), VFW_S_DUPLICATE_NAME);
    ComPtr<IBaseFilter> found;
    ASSERT_EQ(m_graph->FindFilterByName("Video Render", found.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(found.Get(), videoRenderer.Get());
    EXPECT_EQ(m_graph->FindFilterByName("Video Render 0001", found.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(found.Get(), another.Get());
    FILTER_INFO info;
    ASSERT_EQ(another->QueryFilterInfo(&info), S_OK);
    EXPECT_STREQ(info.achName, "Video Render 0001");
    ASSERT_NE(info.pGraph, nullptr);
    info.pGraph->Release();
    EXPECT_EQ(m_graph->RemoveFilter(another.Get()), S_OK);
    EXPECT_EQ(m_graph->RemoveFilter(another.Get()), VFW_E_NOT_FOUND);

    ComPtr<IPin> output = PinOf(source.Get(), "Output 0");
    ComPtr<IPin> soundInput = PinOf(audioRenderer.Get(), "Input");
    ComPtr<IPin> videoInput = PinOf(videoRenderer.Get(), "Input");
    EXPECT_TRUE(fz::com::Failed(m_graph->Connect(output.Get(), soundInput.Get())))
        << "the sound renderer refuses pictures";
    ComPtr<IPin> peer;
    EXPECT_EQ(output->ConnectedTo(peer.ReleaseAndGetAddressOf()), VFW_E_NOT_CONNECTED);
    EXPECT_EQ(peer, nullptr);

    ASSERT_EQ(m_graph->Connect(output.Get(), videoInput.Get()), S_OK);
    ASSERT_EQ(videoInput->ConnectedTo(peer.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(peer.Get(), output.Get());
    AM_MEDIA_TYPE type;
    ASSERT_EQ(videoInput->ConnectionMediaType(&type), S_OK);
    EXPECT_EQ(type.subtype, MEDIASUBTYPE_RGB32);
    EXPECT_EQ(type.cbFormat, 88u);
    FreeMediaType(type);

    // Disconnect breaks one side only.
    EXPECT_EQ(m_graph->Disconnect(videoInput.Get()), S_OK);
    EXPECT_EQ(videoInput->ConnectedTo(peer.ReleaseAndGetAddressOf()), VFW_E_NOT_CONNECTED);
    ASSERT_EQ(output->ConnectedTo(peer.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(peer.Get(), videoInput.Get());
    EXPECT_EQ(m_graph->Connect(output.Get(), videoInput.Get()), VFW_E_ALREADY_CONNECTED);
    EXPECT_EQ(m_graph->Disconnect(output.Get()), S_OK);
    EXPECT_EQ(m_graph->Disconnect(output.Get()), S_FALSE);
    EXPECT_EQ(m_graph->Connect(output.Get(), videoInput.Get()), S_OK);

    // Removing a filter breaks its connections on both sides.
    EXPECT_EQ(m_graph->RemoveFilter(videoRenderer.Get()), S_OK);
    EXPECT_EQ(output->ConnectedTo(peer.ReleaseAndGetAddressOf()), VFW_E_NOT_CONNECTED);
}

TEST_F(FilterGraphTest, TransformOutputConnectsOnlyAfterItsInput) {
    ComPtr<IBaseFilter> source = AddSource({EvenStream(VideoType(), 3, kFrame)}, 3 * kFrame);
    ComPtr<IBaseFilter> transform = MakeFilter<CTestTransform>(nullptr, 1);
    ASSERT_EQ(m_graph->AddFilter(transform.Get(), "Transform"), S_OK);
    CTestRenderer* renderer = nullptr;
    ComPtr<IBaseFilter> sink = AddRenderer("Sink", false, &renderer);
    EXPECT_TRUE(fz::com::Failed(Connect(transform.Get(), "Output", sink.Get(), "Input")));
    ASSERT_EQ(Connect(source.Get(), "Output 0", transform.Get(), "Input"), S_OK);
    ASSERT_EQ(Connect(transform.Get(), "Output", sink.Get(), "Input"), S_OK);
}

// Source -> transform (the given number of buffers) -> recording renderer, without a clock.
struct PassThroughGraph {
    CTestSource* source = nullptr;
    CTestTransform* transform = nullptr;
    CTestRenderer* renderer = nullptr;
};

TEST_F(FilterGraphTest, PassThroughDeliversEverySampleWithItsTimesAndType) {
    PassThroughGraph g;
    ComPtr<IBaseFilter> source =
        AddSource({EvenStream(VideoType(), 10, kFrame, 64)}, 10 * kFrame, &g.source);
    ComPtr<IBaseFilter> transform = MakeFilter<CTestTransform>(&g.transform, 2);
    ASSERT_EQ(m_graph->AddFilter(transform.Get(), "Transform"), S_OK);
    ComPtr<IBaseFilter> sink = AddRenderer("Sink", false, &g.renderer);
    ASSERT_EQ(Connect(source.Get(), "Output 0", transform.Get(), "Input"), S_OK);
    ASSERT_EQ(Connect(transform.Get(), "Output", sink.Get(), "Input"), S_OK);
    EXPECT_EQ(g.transform->Granted().cBuffers, 2);

    ASSERT_EQ(m_control->Run(), S_OK);
    EXPECT_EQ(WaitForCompletion(), EC_COMPLETE);
    const std::vector<RenderedSample> rendered = g.renderer->Rendered();
    ASSERT_EQ(rendered.size(), 10u);
    for (std::size_t i = 0; i < rendered.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rendered[i].timeResult, S_OK);
        EXPECT_EQ(rendered[i].start, static_cast<REFERENCE_TIME>(i) * kFrame);
        EXPECT_EQ(rendered[i].stop, static_cast<REFERENCE_TIME>(i + 1) * kFrame);
        EXPECT_EQ(rendered[i].length, 64);
        EXPECT_EQ(rendered[i].firstByte, i);
        EXPECT_EQ(rendered[i].discontinuity, i == 0) << "flags pass with the sample";
    }
    long code = 0;
    std::intptr_t param1 = 0;
    std::intptr_t param2 = 0;
    ASSERT_EQ(m_events->GetEvent(&code, &param1, &param2, 0), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    EXPECT_EQ(m_events->GetEvent(&code, &param1, &param2, 0), E_ABORT) << "exactly one event";
    EXPECT_EQ(CurrentPosition(), 10 * kFrame) << "every stream has ended";
}

TEST_F(FilterGraphTest, SingleOutputBufferIsReusedAndSFalseDropsTheSample) {
    // Of each three input samples: the first is copied, the second left untouched (S_OK: the
    // buffer goes out with what it last held), the third dropped (S_FALSE).
    int index = 0;
    PassThroughGraph g;
    ComPtr<IBaseFilter> source =
        AddSource({EvenStream(VideoType(), 9, kFrame, 32)}, 9 * kFrame, &g.source);
    ComPtr<IBaseFilter> transform = MakeFilter<CTestTransform>(
        &g.transform, 1, [&index](IMediaSample* in, IMediaSample* out) -> HRESULT {
            const int step = index++ % 3;
            if (step == 2)
                return S_FALSE;
            if (step == 1)
                return S_OK;
            std::uint8_t* from = nullptr;
            std::uint8_t* to = nullptr;
            in->GetPointer(&from);
            out->GetPointer(&to);
            const long length = in->GetActualDataLength() / (index == 1 ? 1 : 2);
            std::memcpy(to, from, static_cast<std::size_t>(length));
            return out->SetActualDataLength(length);
        });
    ASSERT_EQ(m_graph->AddFilter(transform.Get(), "Transform"), S_OK);
    ComPtr<IBaseFilter> sink = AddRenderer("Sink", false, &g.renderer);
    ASSERT_EQ(Connect(source.Get(), "Output 0", transform.Get(), "Input"), S_OK);
    ASSERT_EQ(Connect(transform.Get(), "Output", sink.Get(), "Input"), S_OK);
    ASSERT_EQ(g.transform->Granted().cBuffers, 1);

    ASSERT_EQ(m_control->Run(), S_OK);
    EXPECT_EQ(WaitForCompletion(), EC_COMPLETE);
    const std::vector<RenderedSample> rendered = g.renderer->Rendered();
    ASSERT_EQ(rendered.size(), 6u) << "the dropped samples never arrive";
    const int sourceIndex[6] = {0, 1, 3, 4, 6, 7};
    const std::uint8_t bytes[6] = {0, 0, 3, 3, 6, 6};
    const long lengths[6] = {32, 32, 16, 16, 16, 16};
    for (std::size_t i = 0; i < rendered.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(rendered[i].buffer, rendered[0].buffer) << "one buffer, reused";
        EXPECT_EQ(rendered[i].start, sourceIndex[i] * kFrame) << "the input's own times";
        EXPECT_EQ(rendered[i].firstByte, bytes[i]);
        EXPECT_EQ(rendered[i].length, lengths[i]);
    }
}

TEST_F(FilterGraphTest, StreamingFailureIsReportedAsErrorAbort) {
    struct Case {
        const char* name;
        bool failInTransform; // else in the renderer
    };
    for (const Case& c : {Case{"transform", true}, Case{"renderer", false}}) {
        SCOPED_TRACE(c.name);
        SetUp();
        int index = 0;
        CTestSource* source = nullptr;
        ComPtr<IBaseFilter> sourceFilter =
            AddSource({EvenStream(VideoType(), 10, kFrame)}, 10 * kFrame, &source);
        ComPtr<IBaseFilter> transform = MakeFilter<CTestTransform>(
            nullptr, 1, [&](IMediaSample* in, IMediaSample* out) -> HRESULT {
                if (c.failInTransform && index == 3)
                    return fz::com::E_FAIL;
                ++index;
                out->SetActualDataLength(in->GetActualDataLength());
                return S_OK;
            });
        ASSERT_EQ(m_graph->AddFilter(transform.Get(), "Transform"), S_OK);
        CTestRenderer* renderer = nullptr;
        ComPtr<IBaseFilter> sink = AddRenderer("Sink", false, &renderer);
        ASSERT_EQ(Connect(sourceFilter.Get(), "Output 0", transform.Get(), "Input"), S_OK);
        ASSERT_EQ(Connect(transform.Get(), "Output", sink.Get(), "Input"), S_OK);
        if (!c.failInTransform)
            renderer->SetRenderResult(fz::com::E_OUTOFMEMORY);

        ASSERT_EQ(m_control->Run(), S_OK);
        EXPECT_EQ(WaitForCompletion(), EC_ERRORABORT);
        long code = 0;
        std::intptr_t param1 = 0;
        std::intptr_t param2 = 0;
        ASSERT_EQ(m_events->GetEvent(&code, &param1, &param2, 1000), S_OK);
        EXPECT_EQ(code, EC_ERRORABORT);
        EXPECT_EQ(param1, c.failInTransform ? fz::com::E_FAIL : fz::com::E_OUTOFMEMORY);
        // The source ended its stream at the failure: no end of stream, no EC_COMPLETE.
        std::this_thread::sleep_for(100ms);
        const std::vector<HRESULT> results = source->SourcePin(0)->DeliveryResults();
        ASSERT_FALSE(results.empty());
        EXPECT_TRUE(fz::com::Failed(results.back()));
        EXPECT_EQ(results.size(), c.failInTransform ? 4u : 1u);
        EXPECT_EQ(renderer->Rendered().size(), c.failInTransform ? 3u : 1u);
        EXPECT_EQ(m_events->GetEvent(&code, &param1, &param2, 0), E_ABORT);
        EXPECT_EQ(m_control->Stop(), S_OK);
    }
}

TEST_F(FilterGraphTest, WaitForCompletionTimesOutWithEAbort) {
    StreamScript endless = EvenStream(VideoType(), 2, kFrame);
    endless.endOfStream = false;
    ComPtr<IBaseFilter> source = AddSource({std::move(endless)}, 2 * kFrame);
    CTestRenderer* renderer = nullptr;
    ComPtr<IBaseFilter> sink = AddRenderer("Sink", false, &renderer);
    ASSERT_EQ(Connect(source.Get(), "Output 0", sink.Get(), "Input"), S_OK);
    ASSERT_EQ(m_control->Run(), S_OK);
    long code = -1;
    const auto before = Clock::now();
    EXPECT_EQ(m_events->WaitForCompletion(150, &code), E_ABORT);
    EXPECT_EQ(code, 0);
    EXPECT_GE(Clock::now() - before, 140ms);
    EXPECT_TRUE(renderer->WaitForRendered(2, 1000));
}

// Two streams to two renderers without a clock; one stream waits at a gate. The graph
// completes only once both have ended, and its position is held back by the waiting one.
TEST_F(FilterGraphTest, CompletionAndPositionWaitForTheSlowerStream) {
    struct Case {
        const char* name;
        bool videoSlow;
        REFERENCE_TIME heldAt; // the slow stream's received position at its gate
    };
    for (const Case& c :
         {Case{"video waits", true, 3 * kFrame}, Case{"sound waits", false, 2 * kSoundBlock}}) {
        SCOPED_TRACE(c.name);
        SetUp();
        Gate gate(c.videoSlow ? 3 : 2);
        StreamScript video = EvenStream(VideoType(), 25, kFrame);      // 1 s
        StreamScript sound = EvenStream(SoundType(), 10, kSoundBlock); // 1 s
        (c.videoSlow ? video : sound).beforeDeliver = [&gate](std::size_t i) { gate.Wait(i); };
        ComPtr<IBaseFilter> source = AddSource({std::move(video), std::move(sound)}, 25 * kFrame);
        CTestRenderer* videoRenderer = nullptr;
        CTestRenderer* soundRenderer = nullptr;
        ComPtr<IBaseFilter> videoSink = AddRenderer("Video Render", false, &videoRenderer);
        ComPtr<IBaseFilter> soundSink = AddRenderer("Audio Render", false, &soundRenderer);
        ASSERT_EQ(Connect(source.Get(), "Output 0", videoSink.Get(), "Input"), S_OK);
        ASSERT_EQ(Connect(source.Get(), "Output 1", soundSink.Get(), "Input"), S_OK);

        ASSERT_EQ(m_control->Run(), S_OK);
        ASSERT_TRUE(gate.WaitReached(2000ms));
        CTestRenderer* fast = c.videoSlow ? soundRenderer : videoRenderer;
        ASSERT_TRUE(fast->WaitForRendered(c.videoSlow ? 10 : 25, 2000));
        EXPECT_EQ(WaitForCompletion(200), 0) << "one stream is still running";
        EXPECT_EQ(CurrentPosition(), c.heldAt);

        gate.Open();
        EXPECT_EQ(WaitForCompletion(), EC_COMPLETE);
        EXPECT_EQ(CurrentPosition(), 25 * kFrame);
        EXPECT_EQ(m_control->Stop(), S_OK);
        EXPECT_EQ(CurrentPosition(), 25 * kFrame) << "a stopped graph keeps its position";
    }
}

// Every thread that waits inside the graph is released by Stop: a renderer waiting while
// paused, a renderer waiting for a sample's time on the clock, and a source waiting for a
// buffer a renderer still holds. A seek's flush releases them in the same way.
TEST_F(FilterGraphTest, StopAndFlushReleaseEveryWaitingThread) {
    enum class Wait { Paused, ClockTime, Buffer };
    struct Case {
        const char* name;
        Wait wait;
    };
    for (const Case& c : {Case{"paused renderer", Wait::Paused},
                          Case{"clock wait", Wait::ClockTime}, Case{"buffer wait", Wait::Buffer}}) {
        SCOPED_TRACE(c.name);
        SetUp();
        StreamScript script = EvenStream(VideoType(), 5, kFrame);
        script.bufferCount = 1;
        if (c.wait == Wait::ClockTime)
            for (ScriptedSample& sample : script.samples) {
                sample.start += 100 * kUnitsPerSecond;
                sample.stop += 100 * kUnitsPerSecond;
            }
        CTestSource* source = nullptr;
        ComPtr<IBaseFilter> sourceFilter = AddSource({std::move(script)}, 5 * kFrame, &source);
        CTestRenderer* renderer = nullptr;
        ComPtr<IBaseFilter> sink = AddRenderer("Sink", c.wait != Wait::Buffer, &renderer);
        renderer->SetKeepLastSample(c.wait == Wait::Buffer);
        ASSERT_EQ(Connect(sourceFilter.Get(), "Output 0", sink.Get(), "Input"), S_OK);

        for (int round = 0; round < 2; ++round) {
            // Round 0 ends with a flush (a seek to 0), round 1 with Stop.
            ASSERT_EQ(c.wait == Wait::Paused ? m_control->Pause() : m_control->Run(), S_OK);
            if (c.wait == Wait::ClockTime)
                std::this_thread::sleep_for(100ms);
            else if (c.wait == Wait::Paused)
                ASSERT_TRUE(renderer->WaitForPrerolled(round + 1, 2000));
            else
                ASSERT_TRUE(renderer->WaitForRendered(round + 1, 2000));
            std::this_thread::sleep_for(50ms);
            ASSERT_TRUE(source->SourcePin(0)->Streaming()) << "the source thread is waiting";
            if (round == 0) {
                std::int64_t position = 0;
                EXPECT_EQ(WithinSeconds(5, "the seek",
                                        [&] {
                                            return m_seeking->SetPositions(
                                                &position, AM_SEEKING_AbsolutePositioning, nullptr,
                                                AM_SEEKING_NoPositioning);
                                        }),
                          S_OK);
            } else {
                EXPECT_EQ(WithinSeconds(5, "Stop", [&] { return m_control->Stop(); }), S_OK);
                EXPECT_FALSE(source->SourcePin(0)->Streaming());
            }
        }
    }
}

TEST_F(FilterGraphTest, CapabilitiesAndSeekingToAPosition) {
    // Source -> transform -> renderer: the flush and the new segment pass the transform.
    CTestSource* source = nullptr;
    ComPtr<IBaseFilter> sourceFilter =
        AddSource({EvenStream(VideoType(), 50, kFrame)}, 50 * kFrame, &source);
    ComPtr<IBaseFilter> transform = MakeFilter<CTestTransform>(nullptr, 1);
    ASSERT_EQ(m_graph->AddFilter(transform.Get(), "Transform"), S_OK);
    CTestRenderer* renderer = nullptr;
    ComPtr<IBaseFilter> sink = AddRenderer("Sink", false, &renderer);
    ASSERT_EQ(Connect(sourceFilter.Get(), "Output 0", transform.Get(), "Input"), S_OK);
    ASSERT_EQ(Connect(transform.Get(), "Output", sink.Get(), "Input"), S_OK);

    struct Check {
        std::uint32_t asked;
        HRESULT result;
        std::uint32_t left;
    };
    const Check checks[] = {
        {AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanGetDuration, S_OK, 0x21},
        {0x21 | AM_SEEKING_CanPlayBackwards, S_FALSE, 0x21},
        {AM_SEEKING_CanPlayBackwards, fz::com::E_FAIL, 0},
    };
    for (const Check& check : checks) {
        std::uint32_t capabilities = check.asked;
        EXPECT_EQ(m_seeking->CheckCapabilities(&capabilities), check.result) << check.asked;
        EXPECT_EQ(capabilities, check.left);
    }
    std::int64_t duration = 0;
    ASSERT_EQ(m_seeking->GetDuration(&duration), S_OK);
    EXPECT_EQ(duration, 2 * kUnitsPerSecond);

    // Paused at the start, then a seek to 1 s: the stream starts again there, with its own
    // times (positions in the source).
    ASSERT_EQ(m_control->Pause(), S_OK);
    ASSERT_TRUE(renderer->WaitForPrerolled(1, 2000));
    std::int64_t position = kUnitsPerSecond;
    ASSERT_EQ(m_seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr,
                                      AM_SEEKING_NoPositioning),
              S_OK);
    std::int64_t current = -1;
    std::int64_t stop = -1;
    ASSERT_EQ(m_seeking->GetPositions(&current, &stop), S_OK);
    EXPECT_EQ(current, kUnitsPerSecond);
    EXPECT_EQ(stop, 2 * kUnitsPerSecond);
    // Once the new segment has reached the renderer, the position still reads 1 s.
    ASSERT_TRUE(renderer->WaitForPrerolled(2, 2000));
    EXPECT_EQ(CurrentPosition(), kUnitsPerSecond + kFrame);
    ASSERT_EQ(m_control->Run(), S_OK);
    EXPECT_EQ(WaitForCompletion(), EC_COMPLETE);
    std::vector<RenderedSample> rendered = renderer->Rendered();
    // The sample held while paused was dropped by the seek's flush; after the seek come exactly
    // the 25 samples from 1 s on.
    ASSERT_EQ(rendered.size(), 25u);
    for (std::size_t i = 0; i < rendered.size(); ++i) {
        EXPECT_EQ(rendered[i].start, kUnitsPerSecond + static_cast<REFERENCE_TIME>(i) * kFrame);
        EXPECT_EQ(rendered[i].discontinuity, i == 0);
    }
    EXPECT_EQ(CurrentPosition(), 2 * kUnitsPerSecond);
}

// With a renderer that paces by the clock the graph takes the system clock: a 2-s clip takes
// about 2 s, pausing holds the stream time and the pictures, and a seek while running carries
// the stream time on from the new position.
TEST_F(FilterGraphTest, PacedPlaybackRunPauseAndSeekFollowTheSystemClock) {
    ComPtr<IBaseFilter> source = AddSource({EvenStream(VideoType(), 50, kFrame)}, 50 * kFrame);
    CTestRenderer* renderer = nullptr;
    ComPtr<IBaseFilter> sink = AddRenderer("Video Render", true, &renderer);
    ASSERT_EQ(Connect(source.Get(), "Output 0", sink.Get(), "Input"), S_OK);

    const auto start = Clock::now();
    ASSERT_EQ(m_control->Run(), S_OK);
    ComPtr<IReferenceClock> clock;
    ASSERT_EQ(sink->GetSyncSource(clock.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_NE(clock, nullptr) << "a paced renderer gets the system clock";
    EXPECT_EQ(WaitForCompletion(5000), EC_COMPLETE);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    EXPECT_GE(seconds, 1.9);
    EXPECT_LE(seconds, 2.5);
    const std::vector<RenderedSample> rendered = renderer->Rendered();
    ASSERT_EQ(rendered.size(), 50u);
    for (const RenderedSample& sample : rendered)
        EXPECT_GE(sample.renderedAt + 2ms, start + std::chrono::microseconds(sample.start / 10))
            << "presented at its time, never early";

    // Again from the start, with a pause of 0.6 s in the middle.
    ASSERT_EQ(m_control->Stop(), S_OK);
    std::int64_t zero = 0;
    ASSERT_EQ(m_seeking->SetPositions(&zero, AM_SEEKING_AbsolutePositioning, nullptr,
                                      AM_SEEKING_NoPositioning),
              S_OK);
    const std::size_t before = renderer->Rendered().size();
    const auto again = Clock::now();
    ASSERT_EQ(m_control->Run(), S_OK);
    std::this_thread::sleep_for(500ms);
    ASSERT_EQ(m_control->Pause(), S_OK);
    const std::int64_t pausedAt = CurrentPosition();
    EXPECT_GE(pausedAt, 4 * kUnitsPerSecond / 10);
    EXPECT_LE(pausedAt, 7 * kUnitsPerSecond / 10);
    std::this_thread::sleep_for(100ms);
    const std::size_t whilePaused = renderer->Rendered().size();
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(renderer->Rendered().size(), whilePaused) << "nothing is presented while paused";
    EXPECT_EQ(CurrentPosition(), pausedAt) << "stream time stands still";
    ASSERT_EQ(m_control->Run(), S_OK);

    // A seek while running: the stream time goes on from 1.5 s.
    std::this_thread::sleep_for(200ms);
    std::int64_t target = 15 * kUnitsPerSecond / 10;
    ASSERT_EQ(m_seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr,
                                      AM_SEEKING_NoPositioning),
              S_OK);
    const std::int64_t afterSeek = CurrentPosition();
    EXPECT_GE(afterSeek, target);
    EXPECT_LE(afterSeek, target + kUnitsPerSecond / 10);
    EXPECT_EQ(WaitForCompletion(5000), EC_COMPLETE);
    const double total = std::chrono::duration<double>(Clock::now() - again).count();
    // 0.5 s played + 0.6 s paused + 0.2 s played + the last 0.5 s from 1.5 s.
    EXPECT_GE(total, 1.7);
    EXPECT_LE(total, 2.3);
    EXPECT_GT(renderer->Rendered().size(), before);
}

TEST_F(FilterGraphTest, GraphWithoutPacedRenderersHasNoClock) {
    ComPtr<IBaseFilter> source = AddSource({EvenStream(VideoType(), 50, kFrame)}, 50 * kFrame);
    ComPtr<IBaseFilter> sink;
    ASSERT_EQ(CreateNullRenderer(nullptr, IBaseFilter::kIid, sink.PutVoid()), S_OK);
    ASSERT_EQ(m_graph->AddFilter(sink.Get(), "Video Render"), S_OK);
    ASSERT_EQ(Connect(source.Get(), "Output 0", sink.Get(), "Input"), S_OK);
    const auto start = Clock::now();
    ASSERT_EQ(m_control->Run(), S_OK);
    ComPtr<IReferenceClock> clock;
    EXPECT_EQ(sink->GetSyncSource(clock.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(clock, nullptr);
    EXPECT_EQ(WaitForCompletion(), EC_COMPLETE);
    EXPECT_LT(Clock::now() - start, 1500ms) << "a 2-s clip goes through as fast as it can";
    EXPECT_EQ(CurrentPosition(), 50 * kFrame);
    OAFilterState state = -1;
    EXPECT_EQ(m_control->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Running);
}

TEST_F(FilterGraphTest, RenderConnectsToARendererInTheGraphThatTakesTheStream) {
    ComPtr<IBaseFilter> source = AddSource({EvenStream(VideoType(), 2, kFrame)}, 2 * kFrame);
    CTestRenderer* sound = nullptr;
    CTestRenderer* video = nullptr;
    ComPtr<IBaseFilter> soundSink = AddRenderer("Audio Render", false, &sound, MEDIATYPE_Audio);
    ComPtr<IBaseFilter> videoSink = AddRenderer("Video Render", false, &video, MEDIATYPE_Video);
    ASSERT_EQ(m_graph->Render(PinOf(source.Get(), "Output 0").Get()), S_OK);
    ComPtr<IPin> peer;
    EXPECT_EQ(PinOf(soundSink.Get(), "Input")->ConnectedTo(peer.ReleaseAndGetAddressOf()),
              VFW_E_NOT_CONNECTED);
    EXPECT_EQ(PinOf(videoSink.Get(), "Input")->ConnectedTo(peer.ReleaseAndGetAddressOf()), S_OK);
    EXPECT_EQ(m_graph->Render(PinOf(source.Get(), "Output 0").Get()), VFW_E_ALREADY_CONNECTED);
}

TEST_F(FilterGraphTest, RenderFileRefusesWhatCannotBePlayed) {
    const auto dir = fz::test::FreshWorkDir("renderfile");
    EXPECT_EQ(m_graph->RenderFile((dir / "missing.avi").c_str(), nullptr), VFW_E_NOT_FOUND);
    fz::test::WriteFile(dir / "notes.avi", "this is a text file, not a movie\n");
    EXPECT_TRUE(fz::com::Failed(m_graph->RenderFile((dir / "notes.avi").c_str(), nullptr)));
    EXPECT_EQ(m_graph->RenderFile(dir.c_str(), nullptr), VFW_E_NOT_FOUND) << "a folder";
    ComPtr<IEnumFilters> filters;
    ASSERT_EQ(m_graph->EnumFilters(filters.ReleaseAndGetAddressOf()), S_OK);
    IBaseFilter* left = nullptr;
    std::uint32_t fetched = 0;
    EXPECT_EQ(filters->Next(1, &left, &fetched), S_FALSE) << "a failed RenderFile leaves nothing";
    EXPECT_EQ(fetched, 0u);
}

// The conversion driver's splice: render to a video renderer, then put a filter between the
// source and the renderer, then replace the renderer by the null renderer, and run.
TEST_F(FilterGraphTest, DriverSpliceWithDisconnectAndConnect) {
    CTestRenderer* renderer = nullptr;
    ComPtr<IBaseFilter> videoRender = AddRenderer("Video Render", true, &renderer);
    ComPtr<IBaseFilter> source = AddSource({EvenStream(VideoType(), 10, kFrame)}, 10 * kFrame);
    ASSERT_EQ(m_graph->Render(PinOf(source.Get(), "Output 0").Get()), S_OK);

    ComPtr<IBaseFilter> filter = MakeFilter<CTestTransform>(nullptr, 1);
    ASSERT_EQ(m_graph->AddFilter(filter.Get(), "Movie Video DSP"), S_OK);
    ComPtr<IPin> filterInput = PinOf(filter.Get(), "Input");
    ComPtr<IPin> rendererInput = PinOf(videoRender.Get(), "Input");
    ComPtr<IPin> upstream;
    EXPECT_EQ(filterInput->ConnectedTo(upstream.ReleaseAndGetAddressOf()), VFW_E_NOT_CONNECTED);
    ASSERT_EQ(rendererInput->ConnectedTo(upstream.ReleaseAndGetAddressOf()), S_OK);
    ASSERT_EQ(m_graph->Disconnect(upstream.Get()), S_OK);
    ASSERT_EQ(m_graph->Disconnect(rendererInput.Get()), S_OK);
    ASSERT_EQ(m_graph->Connect(upstream.Get(), filterInput.Get()), S_OK);
    ASSERT_EQ(m_graph->Connect(PinOf(filter.Get(), "Output").Get(), rendererInput.Get()), S_OK);

    // Replace the renderer by a sink.
    ComPtr<IPin> filterOutput;
    ASSERT_EQ(rendererInput->ConnectedTo(filterOutput.ReleaseAndGetAddressOf()), S_OK);
    ASSERT_EQ(m_graph->Disconnect(filterOutput.Get()), S_OK);
    ASSERT_EQ(m_graph->Disconnect(rendererInput.Get()), S_OK);
    ASSERT_EQ(m_graph->RemoveFilter(videoRender.Get()), S_OK);
    ComPtr<IBaseFilter> sink;
    ASSERT_EQ(CreateNullRenderer(nullptr, IBaseFilter::kIid, sink.PutVoid()), S_OK);
    ASSERT_EQ(m_graph->AddFilter(sink.Get(), "Video Render"), S_OK);
    ASSERT_EQ(m_graph->Connect(filterOutput.Get(), PinOf(sink.Get(), "Input").Get()), S_OK);

    std::uint32_t capabilities = 0;
    ASSERT_EQ(m_seeking->GetCapabilities(&capabilities), S_OK);
    ASSERT_EQ(m_control->Run(), S_OK);
    EXPECT_EQ(WaitForCompletion(), EC_COMPLETE);
    EXPECT_TRUE(renderer->Rendered().empty());
    ComPtr<IVideoWindow> window;
    ASSERT_EQ(m_graph.As(&window), S_OK);
    EXPECT_EQ(window->put_Owner(0), fz::com::E_NOINTERFACE) << "no video window in the graph";
}

} // namespace
