#include "fzctrl/convert/CConvertGraph.h"

#include "platform/com/ComRuntime.h"
#include "platform/fs/FileAttributes.h"
#include "platform/ui/WindowMessages.h"

namespace fz {
namespace {

using com::ComPtr;
using com::HRESULT;
using com::S_OK;
using media::IBaseFilter;
using media::IPin;

constexpr std::size_t kMaxPathLength = 259;
constexpr long kWaitSliceMs = 100;
constexpr long kChildWindowStyle = 0x42000000; // WS_CHILD | WS_CLIPSIBLINGS
constexpr std::int64_t kUnitsPerMs = 10000;    // 100-ns units

template <class T>
ComPtr<T> Create(const com::CLSID& clsid) {
    ComPtr<T> object;
    if (com::CoCreateInstance(clsid, nullptr, com::CLSCTX_INPROC_SERVER, &object) < 0)
        return nullptr;
    return object;
}

// The first pin of `filter` in `direction`.
ComPtr<IPin> FirstPin(IBaseFilter* filter, media::PIN_DIRECTION direction) {
    ComPtr<media::IEnumPins> pins;
    if (filter == nullptr || filter->EnumPins(pins.ReleaseAndGetAddressOf()) < 0 || !pins)
        return nullptr;
    for (;;) {
        ComPtr<IPin> pin;
        std::uint32_t fetched = 0;
        if (pins->Next(1, pin.ReleaseAndGetAddressOf(), &fetched) != S_OK || fetched != 1 || !pin)
            return nullptr;
        media::PIN_DIRECTION found = media::PINDIR_INPUT;
        if (pin->QueryDirection(&found) == S_OK && found == direction)
            return pin;
    }
}

ComPtr<IPin> ConnectedPin(IPin* pin) {
    ComPtr<IPin> peer;
    if (pin == nullptr || pin->ConnectedTo(peer.ReleaseAndGetAddressOf()) < 0)
        return nullptr;
    return peer;
}

// Disconnects `pin` from its peer on both sides and returns the peer (null when unconnected).
ComPtr<IPin> TakeUpstream(media::IGraphBuilder* graph, IPin* input) {
    ComPtr<IPin> upstream = ConnectedPin(input);
    if (!upstream)
        return nullptr;
    if (graph->Disconnect(upstream.Get()) < 0 || graph->Disconnect(input) < 0)
        return nullptr;
    return upstream;
}

bool Succeeded(HRESULT hr) {
    return hr >= 0;
}

} // namespace

CConvertGraph::~CConvertGraph() {
    Teardown();
}

bool CConvertGraph::BuildAndRun(const std::string& source, const std::string& base,
                                ConvertParams& record, bool fast,
                                const ConvertFilterSettings& settings) {
    if (source.size() > kMaxPathLength || base.size() > kMaxPathLength)
        return false;
    Teardown();
    const std::uint32_t attributes = fs::GetFileAttributes(source);
    // A folder is refused whatever other attributes it has (a hidden one too).
    if (attributes == fs::kInvalidFileAttributes || (attributes & fs::kFileAttributeDirectory) != 0)
        return false;
    m_frameFile = base + ".mjpg";
    m_soundFile = base + ".wav";
    m_fast = fast;
    if (Build(source, record, fast, settings))
        return fast ? WaitForEnd(record) : true;

    // Nothing of a failed build stays: filters told to write are closed before release.
    if (fast && m_audioDsp)
        m_audioDsp->Close(nullptr);
    if (fast && m_videoDsp)
        m_videoDsp->Close();
    Teardown();
    return false;
}

bool CConvertGraph::Build(const std::string& source, ConvertParams& record, bool fast,
                          const ConvertFilterSettings& settings) {
    m_graph = Create<media::IGraphBuilder>(media::CLSID_FilterGraph);
    if (!m_graph)
        return false;
    auto videoRenderer = Create<IBaseFilter>(media::CLSID_VideoRenderer);
    auto soundRenderer = Create<IBaseFilter>(media::CLSID_DSoundRender);
    if (!videoRenderer || !soundRenderer ||
        !Succeeded(m_graph->AddFilter(soundRenderer.Get(), "Audio Render")) ||
        !Succeeded(m_graph->AddFilter(videoRenderer.Get(), "Video Render")))
        return false;

    m_videoFilter = Create<IBaseFilter>(dsp::CLSID_MovieVideoDsp);
    if (!m_videoFilter || !Succeeded(m_graph->AddFilter(m_videoFilter.Get(), "Movie Video DSP")) ||
        m_videoFilter.As(&m_videoDsp) < 0)
        return false;
    m_videoDsp->SetVerticalCut(settings.verticalCut);
    m_videoDsp->SetWidescreenCut(settings.wideScreenCut, settings.wideScreenTop,
                                 settings.wideScreenBottom);
    m_videoDsp->SetOutputFormat(record.width, record.height, record.rotate, record.jpegformat,
                                record.fixed);
    m_videoDsp->SetFrameRate(record.framerate + 0.01);
    m_videoDsp->SetQuality(record.quality);
    m_videoDsp->SetFileName(m_frameFile.c_str());
    m_videoDsp->SetPreviewMode(fast ? 0 : 1);
    m_videoDsp->SetPreviewRotate(settings.previewRotate);
    dsp::StreamSyncRecord* syncRecord = nullptr;
    m_videoDsp->GetStatusRecord(&syncRecord);
    if (fast)
        m_videoDsp->Open();

    if (!Succeeded(m_graph->RenderFile(source.c_str(), nullptr)))
        return false;

    const ComPtr<IPin> videoIn = FirstPin(m_videoFilter.Get(), media::PINDIR_INPUT);
    const ComPtr<IPin> videoOut = FirstPin(m_videoFilter.Get(), media::PINDIR_OUTPUT);
    const ComPtr<IPin> videoRendererIn = FirstPin(videoRenderer.Get(), media::PINDIR_INPUT);
    const ComPtr<IPin> soundRendererIn = FirstPin(soundRenderer.Get(), media::PINDIR_INPUT);
    if (!videoIn || !videoOut || !videoRendererIn || !soundRendererIn)
        return false;
    if (!ConnectedPin(videoIn.Get())) {
        const ComPtr<IPin> decoded = TakeUpstream(m_graph.Get(), videoRendererIn.Get());
        if (!decoded || !Succeeded(m_graph->Connect(decoded.Get(), videoIn.Get())) ||
            !Succeeded(m_graph->Connect(videoOut.Get(), videoRendererIn.Get())))
            return false;
    }
    const ComPtr<IPin> videoSource = TakeUpstream(m_graph.Get(), videoRendererIn.Get());
    const ComPtr<IPin> soundSource = TakeUpstream(m_graph.Get(), soundRendererIn.Get());
    if (!videoSource || !soundSource)
        return false; // no pictures, or no sound: nothing to convert
    m_graph->RemoveFilter(soundRenderer.Get());
    m_graph->RemoveFilter(videoRenderer.Get());

    const com::CLSID videoSinkClass = fast ? media::CLSID_NullRenderer : media::CLSID_VideoRenderer;
    const com::CLSID soundSinkClass = fast ? media::CLSID_NullRenderer : media::CLSID_DSoundRender;
    m_videoSink = Create<IBaseFilter>(videoSinkClass);
    m_soundSink = Create<IBaseFilter>(soundSinkClass);
    if (!m_videoSink || !m_soundSink ||
        !Succeeded(m_graph->AddFilter(m_soundSink.Get(), "Audio Render")) ||
        !Succeeded(m_graph->AddFilter(m_videoSink.Get(), "Video Render")))
        return false;

    m_audioFilter = Create<IBaseFilter>(dsp::CLSID_MovieAudioDsp);
    if (!m_audioFilter || !Succeeded(m_graph->AddFilter(m_audioFilter.Get(), "Movie Audio DSP")) ||
        m_audioFilter.As(&m_audioDsp) < 0)
        return false;
    m_audioDsp->SetAudioFormat(record.samplerate, record.bitrate,
                               static_cast<unsigned>(record.channels));
    m_audioDsp->SetFileName(m_soundFile.c_str());
    m_audioDsp->SetPreviewMode(fast ? 0 : 1);
    m_audioDsp->SetGain(settings.equalizerLevel);
    m_audioDsp->SetStatusRecord(syncRecord);
    if (fast)
        m_audioDsp->Open();

    const ComPtr<IPin> videoSinkIn = FirstPin(m_videoSink.Get(), media::PINDIR_INPUT);
    const ComPtr<IPin> audioIn = FirstPin(m_audioFilter.Get(), media::PINDIR_INPUT);
    const ComPtr<IPin> audioOut = FirstPin(m_audioFilter.Get(), media::PINDIR_OUTPUT);
    const ComPtr<IPin> soundSinkIn = FirstPin(m_soundSink.Get(), media::PINDIR_INPUT);
    if (!videoSinkIn || !audioIn || !audioOut || !soundSinkIn ||
        !Succeeded(m_graph->Connect(videoSource.Get(), videoSinkIn.Get())) ||
        !Succeeded(m_graph->Connect(soundSource.Get(), audioIn.Get())) ||
        !Succeeded(m_graph->Connect(audioOut.Get(), soundSinkIn.Get())))
        return false;

    m_graph.As(&m_seeking);
    m_graph.As(&m_control);
    m_graph.As(&m_event);
    m_graph.As(&m_videoWindow);
    std::uint32_t capabilities = 0;
    if (!m_seeking || !m_control || !m_event || m_seeking->GetCapabilities(&capabilities) < 0)
        return false;
    std::int64_t duration = 0;
    if (m_seeking->GetDuration(&duration) >= 0)
        m_durationMs = duration / kUnitsPerMs;
    if (m_videoWindow) {
        m_videoWindow->put_Owner(m_previewWindow);
        m_videoWindow->put_Visible(media::OAFALSE);
    }
    if (!Succeeded(m_control->Run()))
        return false;
    m_running = true;
    m_playState = 2;

    if (!fast) {
        if (m_videoWindow && m_previewWindow != 0) {
            m_videoWindow->put_Owner(m_previewWindow);
            m_videoWindow->put_Left(m_previewLeft);
            m_videoWindow->put_Top(m_previewTop);
            m_videoWindow->put_Width(m_previewRight - m_previewLeft);
            m_videoWindow->put_Height(m_previewBottom - m_previewTop);
            m_videoWindow->put_WindowStyle(kChildWindowStyle);
            m_videoWindow->put_Visible(media::OATRUE);
        }
        if (m_durationMs <= 0 && m_seeking->GetDuration(&duration) >= 0)
            m_durationMs = duration / kUnitsPerMs;
        int rate = record.samplerate;
        int channels = record.channels;
        m_audioDsp->GetAudioFormat(&rate, &channels);
        record.deliveredSampleRate = rate;
        record.deliveredChannels = channels;
        return true;
    }
    m_recording = true;
    if (m_seeking->GetDuration(&duration) >= 0)
        m_durationMs = duration / kUnitsPerMs;
    return true;
}

bool CConvertGraph::WaitForEnd(ConvertParams& record) {
    while (m_running) {
        long code = 0;
        m_event->WaitForCompletion(kWaitSliceMs, &code);
        ui::Message message;
        while (m_running && ui::PeekMessage(&message, 0, 0, 0, ui::kPmRemove)) {
            ui::TranslateMessage(&message);
            ui::DispatchMessage(&message);
        }
        // A message may have stopped the conversion (and released the graph).
        if (!m_running || code != 0)
            break;
        std::int64_t position = 0;
        if (m_durationMs > 0 && m_seeking->GetCurrentPosition(&position) >= 0 &&
            position >= m_durationMs * kUnitsPerMs)
            break;
    }
    record.videoStartOffsetMs = m_running ? StartOffsetMs() : 0;
    return true;
}

void CConvertGraph::Teardown(std::int32_t* recordedLengthMs) {
    if (m_videoDsp)
        m_videoDsp->GetLargestFrame(&m_largestFrame);
    if (m_running) {
        if (m_control)
            m_control->Stop();
        if (m_audioDsp) {
            int length = 0;
            m_audioDsp->Close(recordedLengthMs != nullptr ? &length : nullptr);
            if (recordedLengthMs != nullptr)
                *recordedLengthMs = length;
        }
        if (m_videoDsp)
            m_videoDsp->Close();
    }
    // The audio filter lets go of the video filter's record before the video filter goes.
    if (m_audioDsp)
        m_audioDsp->SetStatusRecord(nullptr);
    if (m_graph) {
        for (IBaseFilter* filter :
             {m_videoFilter.Get(), m_audioFilter.Get(), m_videoSink.Get(), m_soundSink.Get()})
            if (filter != nullptr)
                m_graph->RemoveFilter(filter);
    }
    m_videoWindow = nullptr;
    m_event = nullptr;
    m_seeking = nullptr;
    m_control = nullptr;
    m_videoDsp = nullptr;
    m_audioDsp = nullptr;
    m_videoSink = nullptr;
    m_soundSink = nullptr;
    m_videoFilter = nullptr;
    m_audioFilter = nullptr;
    m_graph = nullptr;
    m_running = false;
    m_recording = false;
    m_playState = 0;
}

bool CConvertGraph::Record() {
    if (!m_running)
        return false;
    m_audioDsp->Open();
    m_videoDsp->Open();
    m_recording = true;
    return true;
}

bool CConvertGraph::Pause() {
    if (!m_running)
        return false;
    m_control->Pause();
    m_playState = 1;
    return true;
}

bool CConvertGraph::Run() {
    if (!m_running)
        return false;
    m_control->Run();
    m_playState = 2;
    return true;
}

void CConvertGraph::SetPosition(long ms) {
    if (!m_running || !m_seeking)
        return;
    std::int64_t current = static_cast<std::int64_t>(ms) * kUnitsPerMs;
    m_seeking->SetPositions(&current, media::AM_SEEKING_AbsolutePositioning, nullptr,
                            media::AM_SEEKING_NoPositioning);
}

bool CConvertGraph::CanSeek() {
    if (!m_running || !m_seeking)
        return false;
    std::uint32_t capabilities =
        media::AM_SEEKING_CanSeekAbsolute | media::AM_SEEKING_CanGetDuration;
    return m_seeking->CheckCapabilities(&capabilities) == S_OK;
}

long CConvertGraph::TotalTimeMs() const {
    return m_running ? static_cast<long>(m_durationMs) : 0;
}

long CConvertGraph::CurrentTimeMs() {
    if (!m_running || !m_seeking)
        return 0;
    std::int64_t current = 0;
    if (m_seeking->GetPositions(&current, nullptr) < 0)
        return 0;
    return static_cast<long>(current / kUnitsPerMs);
}

short CConvertGraph::State() const {
    if (!m_running)
        return 0;
    return m_recording ? 2 : 1;
}

std::int32_t CConvertGraph::StartOffsetMs() {
    int offset = 0;
    if (m_videoDsp)
        m_videoDsp->GetStartOffset(&offset);
    return offset;
}

void CConvertGraph::SetPreviewWindow(long window, long left, long top, long right, long bottom) {
    m_previewWindow = window;
    m_previewLeft = left;
    m_previewTop = top;
    m_previewRight = right;
    m_previewBottom = bottom;
}

} // namespace fz
