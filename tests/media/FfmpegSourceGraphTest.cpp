// RenderFile builds the FFmpeg source: on every generated kind the pins offer the right types,
// a fast run (renderers that never wait, no clock) delivers every picture in order with rising
// times and PCM at the source's rate, and ends with EC_COMPLETE; damaged and foreign files,
// video-only files, seeking, and pictures converted only when read.
#include "platform/com/ModuleCounts.h"
#include "platform/media/base/BaseRenderer.h"
#include "platform/media/base/GraphInterfaces.h"
#include "platform/media/base/MemAllocator.h"
#include "platform/media/ffmpeg/FastGraphRun.h"
#include "platform/media/ffmpeg/FfmpegSourceFilter.h"
#include "platform/media/ffmpeg/LazyPictureSample.h"
#include "platform/media/graph/FilterGraph.h"
#include "tests/support/GeneratedMedia.h"
#include "tests/support/IsolatedEnvironment.h"

#include <gtest/gtest.h>

#include <cctype>
#include <condition_variable>
#include <mutex>

FZ_COM_DEFINE_MODULE()

namespace fz::media::ffmpeg {
namespace {

using com::ComPtr;
using mediagen::ClipKind;
using mediagen::ClipKindInfo;

constexpr REFERENCE_TIME kFrame = kUnitsPerSecond / 25;

struct Received {
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    long length = 0;
    std::optional<std::int64_t> number; // pictures: the frame number drawn in it
    bool discontinuity = false;
};

// Takes any type, waits for the clock only when `paced`, and records every sample; pictures are
// read (so converted) and their frame numbers decoded.
class CRecordingRenderer final : public CBaseRenderer {
public:
    explicit CRecordingRenderer(bool paced)
        : CBaseRenderer("Recorder", nullptr, com::GUID_NULL)
        , m_paced(paced) {}

    HRESULT CheckMediaType(const CMediaType*) override { return com::S_OK; }
    bool PacedByClock() const override { return m_paced; }

    HRESULT SetMediaType(const CMediaType* type) override {
        const std::lock_guard lock(m_mutex);
        m_type = *type;
        return CBaseRenderer::SetMediaType(type);
    }

    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override {
        {
            const std::lock_guard lock(m_mutex);
            m_segments.push_back(start);
        }
        return CBaseRenderer::NewSegment(start, stop, rate);
    }

    HRESULT DoRenderSample(IMediaSample* sample) override {
        Received r;
        EXPECT_EQ(sample->GetTime(&r.start, &r.stop), com::S_OK);
        r.length = sample->GetActualDataLength();
        r.discontinuity = sample->IsDiscontinuity() == com::S_OK;
        const std::lock_guard lock(m_mutex);
        if (const VIDEOINFOHEADER* video = m_type.VideoInfo()) {
            std::uint8_t* pixels = nullptr;
            EXPECT_EQ(sample->GetPointer(&pixels), com::S_OK);
            const int width = video->bmiHeader.biWidth;
            const int height = video->bmiHeader.biHeight;
            if (pixels && r.length >= width * height * 4)
                r.number = mediagen::ReadFrameNumber(pixels, width, height, width * 4, true);
        }
        m_received.push_back(r);
        m_changed.notify_all();
        return com::S_OK;
    }

    CMediaType Type() const {
        const std::lock_guard lock(m_mutex);
        return m_type;
    }
    std::vector<Received> Samples() const {
        const std::lock_guard lock(m_mutex);
        return m_received;
    }
    std::vector<REFERENCE_TIME> Segments() const {
        const std::lock_guard lock(m_mutex);
        return m_segments;
    }
    void Clear() {
        const std::lock_guard lock(m_mutex);
        m_received.clear();
        m_segments.clear();
    }
    bool WaitFor(std::size_t count, int timeoutMs) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return m_received.size() >= count; });
    }

private:
    const bool m_paced;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    CMediaType m_type;
    std::vector<Received> m_received;
    std::vector<REFERENCE_TIME> m_segments;
};

// A graph with two recording renderers; RenderFile connects the source's pins to them.
// Renderers that are not paced leave the graph without a clock (the fast mode).
struct RecordingGraph {
    ComPtr<IGraphBuilder> graph;
    ComPtr<IMediaControl> control;
    ComPtr<IMediaEvent> events;
    ComPtr<IMediaSeeking> seeking;
    CRecordingRenderer* renderers[2] = {};
    ComPtr<IBaseFilter> filters[2];

    explicit RecordingGraph(bool paced = false) {
        EXPECT_EQ(CreateFilterGraph(nullptr, IGraphBuilder::kIid, graph.PutVoid()), com::S_OK);
        graph.As(&control);
        graph.As(&events);
        graph.As(&seeking);
        for (int i = 0; i < 2; ++i) {
            filters[i] = ComPtr<IBaseFilter>();
            renderers[i] = new CRecordingRenderer(paced);
            renderers[i]->NonDelegatingQueryInterface(IBaseFilter::kIid, filters[i].PutVoid());
            renderers[i]->NonDelegatingRelease();
            EXPECT_EQ(graph->AddFilter(filters[i].Get(), i == 0 ? "First" : "Second"), com::S_OK);
        }
    }
    ~RecordingGraph() {
        if (control)
            control->Stop();
    }

    // The renderer that received the given major type, or null.
    CRecordingRenderer* With(const GUID& major) const {
        for (CRecordingRenderer* renderer : renderers)
            if (renderer->InputPin()->IsConnected() && renderer->Type().majortype == major)
                return renderer;
        return nullptr;
    }

    long RunToCompletion(long timeoutMs = 60000) {
        EXPECT_TRUE(com::Succeeded(control->Run()));
        long code = 0;
        EXPECT_EQ(events->WaitForCompletion(timeoutMs, &code), com::S_OK);
        return code;
    }
};

void ExpectPicturesInOrder(const std::vector<Received>& pictures, std::int64_t first) {
    ASSERT_FALSE(pictures.empty());
    const REFERENCE_TIME offset = pictures.front().start - first * kFrame;
    EXPECT_GE(offset, 0);
    EXPECT_LT(offset, kUnitsPerSecond / 10);
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const auto number = first + static_cast<std::int64_t>(i);
        EXPECT_EQ(pictures[i].number, std::optional<std::int64_t>(number)) << "picture " << i;
        EXPECT_NEAR(static_cast<double>(pictures[i].start),
                    static_cast<double>(offset + number * kFrame), kFrame / 4.0)
            << "picture " << i;
        if (i > 0) {
            EXPECT_GT(pictures[i].start, pictures[i - 1].start) << "picture " << i;
        }
    }
}

class SourceGraphKindTest : public ::testing::TestWithParam<ClipKind> {};

TEST_P(SourceGraphKindTest, RenderFileDeliversEveryPictureAndPcmAtTheSourceRate) {
    const ClipKindInfo& info = mediagen::KindInfo(GetParam());
    const auto options = fz::test::StandardClipOptions(GetParam());
    const auto path = fz::test::GeneratedClip(GetParam());
    ASSERT_FALSE(path.empty());
    RecordingGraph g;
    ASSERT_EQ(g.graph->RenderFile(path.c_str(), nullptr), com::S_OK);

    CRecordingRenderer* video = g.With(MEDIATYPE_Video);
    CRecordingRenderer* audio = g.With(MEDIATYPE_Audio);
    ASSERT_EQ(video != nullptr, !info.videoCodec.empty());
    ASSERT_EQ(audio != nullptr, !info.audioCodec.empty());
    if (video) {
        const CMediaType type = video->Type();
        EXPECT_EQ(type.subtype, MEDIASUBTYPE_RGB32);
        ASSERT_NE(type.VideoInfo(), nullptr);
        const BITMAPINFOHEADER& bitmap = type.VideoInfo()->bmiHeader;
        EXPECT_EQ(bitmap.biWidth, options.width);
        EXPECT_EQ(bitmap.biHeight, options.height) << "positive: bottom-up";
        EXPECT_EQ(bitmap.biBitCount, 32);
        EXPECT_EQ(bitmap.biCompression, BI_RGB);
        EXPECT_EQ(type.bFixedSizeSamples, 1);
        EXPECT_EQ(type.lSampleSize, static_cast<std::uint32_t>(options.width * options.height * 4));
        EXPECT_EQ(type.VideoInfo()->AvgTimePerFrame, kFrame);
    }
    if (audio) {
        const CMediaType type = audio->Type();
        EXPECT_EQ(type.subtype, MEDIASUBTYPE_PCM);
        ASSERT_NE(type.WaveFormat(), nullptr);
        const WAVEFORMATEX& wave = *type.WaveFormat();
        EXPECT_EQ(wave.wFormatTag, WAVE_FORMAT_PCM);
        EXPECT_EQ(wave.nSamplesPerSec, static_cast<std::uint32_t>(info.sampleRate));
        EXPECT_EQ(wave.nChannels, std::min(info.channels, 2));
        EXPECT_EQ(wave.wBitsPerSample, info.bitsPerSample);
        EXPECT_EQ(wave.nBlockAlign, wave.nChannels * wave.wBitsPerSample / 8);
    }

    EXPECT_EQ(g.RunToCompletion(), EC_COMPLETE);
    REFERENCE_TIME end = 0;
    if (video) {
        const auto pictures = video->Samples();
        ASSERT_EQ(static_cast<std::int64_t>(pictures.size()), mediagen::FrameCount(options));
        ExpectPicturesInOrder(pictures, 0);
        EXPECT_TRUE(pictures.front().discontinuity);
        end = pictures.back().stop;
    }
    if (audio) {
        const auto blocks = audio->Samples();
        ASSERT_FALSE(blocks.empty());
        const WAVEFORMATEX wave = *audio->Type().WaveFormat();
        long bytes = 0;
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            EXPECT_EQ(blocks[i].length % wave.nBlockAlign, 0) << "block " << i;
            if (i > 0) {
                EXPECT_NEAR(static_cast<double>(blocks[i].start),
                            static_cast<double>(blocks[i - 1].stop), 1.0)
                    << "block " << i;
            }
            bytes += blocks[i].length;
        }
        EXPECT_NEAR(static_cast<double>(bytes) / wave.nAvgBytesPerSec, options.durationSeconds,
                    0.12);
        end = std::max(end, blocks.back().stop);
    }
    std::int64_t duration = 0;
    ASSERT_EQ(g.seeking->GetDuration(&duration), com::S_OK);
    EXPECT_NEAR(static_cast<double>(duration), static_cast<double>(end), kFrame)
        << "the duration is that of what was delivered, within one picture";
}

std::vector<ClipKind> EveryKind() {
    std::size_t count = 0;
    const ClipKindInfo* kinds = mediagen::AllKinds(&count);
    std::vector<ClipKind> all;
    for (std::size_t i = 0; i < count; ++i)
        all.push_back(kinds[i].kind);
    return all;
}

INSTANTIATE_TEST_SUITE_P(EveryKind, SourceGraphKindTest, ::testing::ValuesIn(EveryKind()),
                         [](const ::testing::TestParamInfo<ClipKind>& param) {
                             std::string name(mediagen::KindInfo(param.param).name);
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

TEST(FfmpegSourceGraphTest, TruncatedFileEndsWithCompletion) {
    const std::string bytes = fz::test::ReadFile(fz::test::GeneratedClip(ClipKind::AviMpeg4Mp3));
    ASSERT_FALSE(bytes.empty());
    const auto path = fz::test::WorkDir() / "truncated.avi";
    fz::test::WriteFile(path, bytes.substr(0, bytes.size() / 2));
    RecordingGraph g;
    ASSERT_TRUE(com::Succeeded(g.graph->RenderFile(path.c_str(), nullptr)));
    EXPECT_EQ(g.RunToCompletion(), EC_COMPLETE);
    CRecordingRenderer* video = g.With(MEDIATYPE_Video);
    ASSERT_NE(video, nullptr);
    const auto pictures = video->Samples();
    EXPECT_GT(pictures.size(), 5u);
    EXPECT_LT(pictures.size(), 50u);
    ExpectPicturesInOrder(pictures, 0);
}

TEST(FfmpegSourceGraphTest, FilesThatAreNotMediaFailRenderFile) {
    const auto folder = fz::test::FreshWorkDir("not-media");
    fz::test::WriteFile(folder / "notes.avi", "These are notes, not a movie.\n");
    fz::test::WriteFile(folder / "empty.avi", "");
    struct Case {
        std::filesystem::path path;
        HRESULT expected;
    };
    const Case cases[] = {
        {folder / "notes.avi", VFW_E_UNKNOWN_FILE_TYPE},
        {folder / "empty.avi", VFW_E_UNKNOWN_FILE_TYPE},
        {folder / "missing.avi", VFW_E_NOT_FOUND},
        {folder, VFW_E_NOT_FOUND},
    };
    for (const Case& c : cases) {
        RecordingGraph g;
        EXPECT_EQ(g.graph->RenderFile(c.path.c_str(), nullptr), c.expected) << c.path;
        for (CRecordingRenderer* renderer : g.renderers)
            EXPECT_FALSE(renderer->InputPin()->IsConnected()) << c.path;
    }
}

TEST(FfmpegSourceGraphTest, VideoOnlyFileHasNoAudioPin) {
    const auto path = fz::test::GeneratedClip(ClipKind::AviVideoOnly);
    ASSERT_FALSE(path.empty());
    ComPtr<IBaseFilter> source;
    ASSERT_EQ(
        CFfmpegSourceFilter::CreateFromFile(path.string(), {}, source.ReleaseAndGetAddressOf()),
        com::S_OK);
    ComPtr<IPin> pin;
    EXPECT_EQ(source->FindPin("Video", pin.ReleaseAndGetAddressOf()), com::S_OK);
    EXPECT_EQ(source->FindPin("Audio", pin.ReleaseAndGetAddressOf()), VFW_E_NOT_FOUND);

    RecordingGraph g;
    ASSERT_EQ(g.graph->RenderFile(path.c_str(), nullptr), com::S_OK);
    EXPECT_NE(g.With(MEDIATYPE_Video), nullptr);
    EXPECT_EQ(g.With(MEDIATYPE_Audio), nullptr);
}

TEST(FfmpegSourceGraphTest, SeekingRestartsAtThePositionWithSourceTimes) {
    const auto path = fz::test::GeneratedClip(ClipKind::AviMpeg4Mp3);
    ASSERT_FALSE(path.empty());
    RecordingGraph g;
    ASSERT_EQ(g.graph->RenderFile(path.c_str(), nullptr), com::S_OK);
    std::uint32_t capabilities = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanGetDuration;
    EXPECT_EQ(g.seeking->CheckCapabilities(&capabilities), com::S_OK);
    CRecordingRenderer* video = g.With(MEDIATYPE_Video);
    CRecordingRenderer* audio = g.With(MEDIATYPE_Audio);
    ASSERT_TRUE(video && audio);

    // Seek while stopped, then again while the graph runs.
    std::int64_t position = 13 * kUnitsPerSecond / 10;
    ASSERT_EQ(g.seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr,
                                      AM_SEEKING_NoPositioning),
              com::S_OK);
    EXPECT_EQ(g.RunToCompletion(), EC_COMPLETE);
    auto pictures = video->Samples();
    ExpectPicturesInOrder(pictures, position / kFrame);
    EXPECT_EQ(pictures.size(), 50u - position / kFrame);
    ASSERT_FALSE(video->Segments().empty());
    EXPECT_EQ(video->Segments().back(), position);
    ASSERT_FALSE(audio->Samples().empty());
    EXPECT_NEAR(static_cast<double>(audio->Samples().front().start), static_cast<double>(position),
                kUnitsPerSecond / 1000.0);

    // Stop keeps the position (the end): back to the start, and still there after Stop.
    g.control->Stop();
    position = 0;
    ASSERT_EQ(g.seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr,
                                      AM_SEEKING_NoPositioning),
              com::S_OK);
    std::int64_t current = -1;
    EXPECT_EQ(g.seeking->GetCurrentPosition(&current), com::S_OK);
    EXPECT_EQ(current, 0);
}

TEST(FfmpegSourceGraphTest, SeekWhilePlayingFlushesAndGoesOnFromThePosition) {
    const auto path = fz::test::GeneratedClip(ClipKind::AviMpeg4Mp3);
    ASSERT_FALSE(path.empty());
    // Paced renderers: the graph plays at real time on a clock, so the seek finds the
    // streaming threads waiting in the renderers and for buffers.
    RecordingGraph g(true);
    ASSERT_EQ(g.graph->RenderFile(path.c_str(), nullptr), com::S_OK);
    CRecordingRenderer* video = g.With(MEDIATYPE_Video);
    ASSERT_NE(video, nullptr);
    ASSERT_TRUE(com::Succeeded(g.control->Run()));
    ASSERT_TRUE(video->WaitFor(3, 10000));
    std::int64_t position = kUnitsPerSecond * 3 / 2;
    ASSERT_EQ(g.seeking->SetPositions(&position, AM_SEEKING_AbsolutePositioning, nullptr,
                                      AM_SEEKING_NoPositioning),
              com::S_OK);
    long code = 0;
    EXPECT_EQ(g.events->WaitForCompletion(60000, &code), com::S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    // After the flush the pictures start again at the position and run to the end.
    const auto pictures = video->Samples();
    std::size_t restart = 0;
    for (std::size_t i = 1; i < pictures.size(); ++i)
        if (pictures[i].discontinuity)
            restart = i;
    EXPECT_GT(restart, 0u) << "the seek came while pictures were playing";
    EXPECT_LT(restart, 30u);
    const std::vector<Received> afterSeek(pictures.begin() + static_cast<std::ptrdiff_t>(restart),
                                          pictures.end());
    ExpectPicturesInOrder(afterSeek, position / kFrame);
    EXPECT_EQ(afterSeek.back().number, std::optional<std::int64_t>(49));
}

TEST(FfmpegSourceGraphTest, PictureIsConvertedOnlyWhenRead) {
    const auto path = fz::test::GeneratedClip(ClipKind::AviMpeg4Mp3);
    ASSERT_FALSE(path.empty());
    auto reader = MediaReader::OpenFile(path.string(), {}, nullptr);
    ASSERT_TRUE(reader);
    reader->SetDelivered(true, false);
    reader->Start();
    ComPtr<IMemAllocator> allocator;
    allocator.Attach(new CMemAllocator(nullptr));
    const long size = static_cast<long>(reader->Converter()->ImageSize());
    ALLOCATOR_PROPERTIES request{1, size, 1, 0};
    ALLOCATOR_PROPERTIES actual;
    ASSERT_EQ(allocator->SetProperties(&request, &actual), com::S_OK);
    ASSERT_EQ(allocator->Commit(), com::S_OK);
    for (std::int64_t number = 0; number < 3; ++number) {
        DecodedPicture picture;
        ASSERT_EQ(reader->NextPicture(picture), DecodeResult::Frame);
        ComPtr<IMediaSample> buffer;
        ASSERT_EQ(allocator->GetBuffer(buffer.ReleaseAndGetAddressOf(), nullptr, nullptr, 0),
                  com::S_OK);
        auto* lazy = new CLazyPictureSample(
            buffer.Get(), LazyPicture(std::move(picture.frame), reader->Converter()));
        ComPtr<IMediaSample> sample;
        sample.Attach(lazy);
        buffer.Reset();
        // Times, flags and lengths go to the wrapped sample without converting.
        REFERENCE_TIME start = picture.start;
        REFERENCE_TIME stop = picture.stop;
        EXPECT_EQ(sample->SetTime(&start, &stop), com::S_OK);
        EXPECT_EQ(sample->SetActualDataLength(size), com::S_OK);
        EXPECT_EQ(sample->GetActualDataLength(), size);
        EXPECT_TRUE(lazy->Pending());
        if (number == 1)
            continue; // never read: dropped unconverted, the buffer goes back to the pool
        std::uint8_t* pixels = nullptr;
        ASSERT_EQ(sample->GetPointer(&pixels), com::S_OK);
        EXPECT_FALSE(lazy->Pending());
        EXPECT_EQ(mediagen::ReadFrameNumber(pixels, 320, 240, 320 * 4, true),
                  std::optional<std::int64_t>(number));
        std::uint8_t* again = nullptr;
        ASSERT_EQ(sample->GetPointer(&again), com::S_OK);
        EXPECT_EQ(again, pixels);
    }
    reader->Abort();
    reader->Stop();
    allocator->Decommit();
}

TEST(FfmpegSourceGraphTest, FastRunThroughNullRenderersCompletes) {
    const auto path = fz::test::GeneratedClip(ClipKind::AviMpeg4Ac3Surround);
    ASSERT_FALSE(path.empty());
    const FastRunResult run = RunThroughNullRenderers(path.string(), 60000);
    EXPECT_EQ(run.renderResult, com::S_OK) << run.error;
    EXPECT_EQ(run.connectedPins, 2);
    EXPECT_TRUE(run.Completed()) << run.error;
}

} // namespace
} // namespace fz::media::ffmpeg
