#include "platform/media/renderers/SoundRenderer.h"

#include "platform/media/base/GraphInterfaces.h"
#include "platform/media/base/ReferenceClock.h"
#include "platform/media/graph/RendererClasses.h"

#include <algorithm>
#include <chrono>

namespace fz::media {

// The clock the sound renderer gives the graph: its time comes from the renderer.
class CSoundClock final : public CBaseReferenceClock {
public:
    CSoundClock(IUnknown* outer, CSoundRenderer* renderer)
        : CBaseReferenceClock(outer)
        , m_renderer(renderer) {}

protected:
    ~CSoundClock() override { StopAdviseThread(); }
    REFERENCE_TIME GetPrivateTime() override { return m_renderer->ClockTime(); }

private:
    CSoundRenderer* m_renderer;
};

namespace {

// The longest silence played before sound that starts late (more is a damaged time stamp).
constexpr REFERENCE_TIME kLongestLeadIn = 10 * kUnitsPerSecond;

REFERENCE_TIME SystemTime() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
               .count() /
           100;
}

bool WaveFormatOf(const CMediaType& type, audio::WaveFormat* format) {
    if (*type.Type() != MEDIATYPE_Audio)
        return false;
    if (*type.Subtype() != MEDIASUBTYPE_PCM && *type.Subtype() != MEDIASUBTYPE_NULL)
        return false;
    const WAVEFORMATEX* wave = type.WaveFormat();
    if (!wave)
        return false;
    audio::WaveFormat candidate;
    candidate.formatTag = wave->wFormatTag;
    candidate.channels = wave->nChannels;
    candidate.samplesPerSec = wave->nSamplesPerSec;
    candidate.avgBytesPerSec = wave->nAvgBytesPerSec;
    candidate.blockAlign = wave->nBlockAlign;
    candidate.bitsPerSample = wave->wBitsPerSample;
    if (audio::WaveOutOpen(nullptr, audio::kWaveMapper, &candidate, nullptr, 0,
                           audio::kWaveFormatQuery) != audio::MMSYSERR_NOERROR)
        return false;
    *format = candidate;
    return true;
}

} // namespace

CSoundRenderer::CSoundRenderer(IUnknown* outer)
    : CBaseRenderer("Audio Renderer", outer, CLSID_DSoundRender)
    , m_clock(new CSoundClock(Owner(), this)) {
    m_lastTime = SystemTime();
    m_lastSystemTime = m_lastTime;
}

CSoundRenderer::~CSoundRenderer() {
    m_clock->NonDelegatingRelease(); // stops the clock's thread before the output goes
    m_output.Close();
}

HRESULT CSoundRenderer::NonDelegatingQueryInterface(const IID& iid, void** object) {
    if (iid == IReferenceClock::kIid)
        return m_clock->NonDelegatingQueryInterface(iid, object);
    return CBaseRenderer::NonDelegatingQueryInterface(iid, object);
}

HRESULT CSoundRenderer::CheckMediaType(const CMediaType* type) {
    audio::WaveFormat format;
    return type && WaveFormatOf(*type, &format) ? com::S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CSoundRenderer::SetMediaType(const CMediaType* type) {
    audio::WaveFormat format;
    if (!type || !WaveFormatOf(*type, &format))
        return VFW_E_TYPE_NOT_ACCEPTED;
    m_format = format;
    return CBaseRenderer::SetMediaType(type);
}

HRESULT CSoundRenderer::OnStartStreaming() {
    m_deviceOpen = m_output.Open(m_format) == audio::MMSYSERR_NOERROR;
    m_firstSample = true;
    return CBaseRenderer::OnStartStreaming();
}

HRESULT CSoundRenderer::OnStopStreaming() {
    m_running = false;
    m_output.Close();
    m_deviceOpen = false;
    return CBaseRenderer::OnStopStreaming();
}

void CSoundRenderer::OnStateChanged() {
    const bool running = State() == State_Running;
    m_running = running;
    if (running)
        m_output.Resume();
    else
        m_output.Pause();
    CBaseRenderer::OnStateChanged();
}

void CSoundRenderer::OnFlush() {
    m_output.Abort();
    CBaseRenderer::OnFlush();
}

HRESULT CSoundRenderer::EndFlush() {
    const HRESULT result = CBaseRenderer::EndFlush();
    m_firstSample = true;
    m_output.Allow();
    return result;
}

HRESULT CSoundRenderer::DoRenderSample(IMediaSample* sample) {
    if (!sample)
        return com::E_POINTER;
    if (!m_deviceOpen)
        return com::S_OK; // no device: the renderer base has held the sample until its time
    std::uint8_t* data = nullptr;
    if (com::Failed(sample->GetPointer(&data)) || !data)
        return com::S_OK;
    const long length = std::min(sample->GetActualDataLength(), sample->GetSize());
    if (length <= 0)
        return com::S_OK;

    if (m_firstSample.exchange(false)) {
        REFERENCE_TIME start = 0;
        REFERENCE_TIME stop = 0;
        REFERENCE_TIME now = 0;
        if (com::Succeeded(sample->GetTime(&start, &stop)) && StreamTime(&now) == com::S_OK &&
            start > now && start - now <= kLongestLeadIn) {
            const auto bytesPerSecond =
                static_cast<std::uint64_t>(m_format.samplesPerSec) * m_format.blockAlign;
            const auto lead =
                static_cast<std::uint64_t>(start - now) * bytesPerSecond / kUnitsPerSecond;
            m_output.WriteSilence(static_cast<std::size_t>(lead));
        }
    }
    // A write refused by a stop or flush drops the sample; that is not a failure.
    m_output.Write(data, static_cast<std::size_t>(length));
    return com::S_OK;
}

HRESULT CSoundRenderer::OnEndOfStream() {
    if (m_deviceOpen)
        m_output.WaitUntilPlayed();
    return CBaseRenderer::OnEndOfStream();
}

REFERENCE_TIME CSoundRenderer::ClockTime() {
    const REFERENCE_TIME system = SystemTime();
    const bool flowing = m_running && m_output.Flowing();
    const std::uint64_t played = flowing ? m_output.PlayedBytes() : 0;
    std::lock_guard lock(m_clockMutex);
    const REFERENCE_TIME followed = m_lastTime + (system - m_lastSystemTime);
    REFERENCE_TIME time = followed;
    if (flowing) {
        const auto bytesPerSecond =
            static_cast<std::uint64_t>(m_format.samplesPerSec) * m_format.blockAlign;
        // Whole seconds and the rest apart, so that the product cannot overflow.
        const auto sound =
            static_cast<REFERENCE_TIME>(played / bytesPerSecond * kUnitsPerSecond +
                                        played % bytesPerSecond * kUnitsPerSecond / bytesPerSecond);
        // Sound starting (again) takes the clock up where it stands.
        if (!m_wasFlowing)
            m_soundOffset = followed - sound;
        time = sound + m_soundOffset;
    }
    m_wasFlowing = flowing;
    m_lastTime = time;
    m_lastSystemTime = system;
    return time;
}

HRESULT CreateSoundRenderer(IUnknown* outer, const IID& iid, void** object) {
    return com::CreateAggregatableInstanceOf<CSoundRenderer>(outer, iid, object);
}

} // namespace fz::media
