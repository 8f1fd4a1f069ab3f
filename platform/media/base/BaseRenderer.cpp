#include "platform/media/base/BaseRenderer.h"

namespace fz::media {

using com::E_POINTER;
using com::S_FALSE;
using com::S_OK;

// --- CRendererInputPin ---

CRendererInputPin::CRendererInputPin(CBaseRenderer* renderer, const char* name)
    : CBaseInputPin(renderer, name)
    , m_renderer(renderer) {}

HRESULT CRendererInputPin::CheckMediaType(const CMediaType* type) {
    return m_renderer->CheckMediaType(type);
}

HRESULT CRendererInputPin::SetMediaType(const CMediaType* type) {
    const HRESULT result = CBaseInputPin::SetMediaType(type);
    if (com::Failed(result))
        return result;
    return m_renderer->SetMediaType(type);
}

HRESULT CRendererInputPin::BreakConnect() {
    return CBaseInputPin::BreakConnect();
}

HRESULT CRendererInputPin::CompleteConnect(IPin* receivePin) {
    return CBaseInputPin::CompleteConnect(receivePin);
}

HRESULT CRendererInputPin::Receive(IMediaSample* sample) {
    const HRESULT result = CBaseInputPin::Receive(sample);
    if (result != S_OK)
        return result;
    return m_renderer->Receive(sample);
}

HRESULT CRendererInputPin::ReceiveCanBlock() {
    return S_OK;
}

HRESULT CRendererInputPin::EndOfStream() {
    const HRESULT streaming = CheckStreaming();
    if (streaming != S_OK)
        return streaming;
    return m_renderer->EndOfStream();
}

HRESULT CRendererInputPin::BeginFlush() {
    CBaseInputPin::BeginFlush();
    return m_renderer->BeginFlush();
}

HRESULT CRendererInputPin::EndFlush() {
    const HRESULT result = m_renderer->EndFlush();
    CBaseInputPin::EndFlush();
    return result;
}

HRESULT CRendererInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    CBaseInputPin::NewSegment(start, stop, rate);
    return m_renderer->NewSegment(start, stop, rate);
}

// --- CBaseRenderer ---

CBaseRenderer::CBaseRenderer(const char* name, IUnknown* outer, const CLSID& clsid)
    : CBaseFilter(name, outer, clsid)
    , m_input(std::make_unique<CRendererInputPin>(this, "Input")) {}

CBaseRenderer::~CBaseRenderer() = default;

HRESULT CBaseRenderer::NonDelegatingQueryInterface(const IID& iid, void** object) {
    if (iid == IAMFilterMiscFlags::kIid)
        return com::GetInterface(static_cast<IAMFilterMiscFlags*>(this), object);
    if (iid == IRenderedStream::kIid)
        return com::GetInterface(static_cast<IRenderedStream*>(this), object);
    return CBaseFilter::NonDelegatingQueryInterface(iid, object);
}

CBasePin* CBaseRenderer::GetPin(int index) {
    return index == 0 ? m_input.get() : nullptr;
}

HRESULT CBaseRenderer::Stop() {
    std::lock_guard lock(m_filterLock);
    const bool wasActive = IsActive();
    const HRESULT result = CBaseFilter::Stop();
    {
        std::lock_guard stream(m_streamMutex);
        m_endOfStream = false;
        m_completeSent = false;
        m_firstSampleShown = false;
    }
    Interrupt();
    if (wasActive)
        OnStopStreaming();
    OnStateChanged();
    return result;
}

HRESULT CBaseRenderer::Pause() {
    std::lock_guard lock(m_filterLock);
    const bool wasStopped = IsStopped();
    if (wasStopped) {
        std::lock_guard stream(m_streamMutex);
        m_endOfStream = false;
        m_completeSent = false;
        m_awaitingSegment = false;
        m_received = m_input->SegmentStart();
    }
    const HRESULT result = CBaseFilter::Pause();
    if (com::Failed(result))
        return result;
    {
        std::lock_guard stream(m_streamMutex);
        m_firstSampleShown = false;
    }
    if (wasStopped)
        OnStartStreaming();
    Interrupt();
    OnStateChanged();
    return S_OK;
}

HRESULT CBaseRenderer::Run(REFERENCE_TIME start) {
    std::lock_guard lock(m_filterLock);
    if (IsStopped()) {
        const HRESULT paused = Pause();
        if (com::Failed(paused))
            return paused;
    }
    const HRESULT result = CBaseFilter::Run(start);
    Interrupt();
    OnStateChanged();
    return result;
}

HRESULT CBaseRenderer::GetReceivedPosition(REFERENCE_TIME* position) {
    if (!position)
        return E_POINTER;
    std::lock_guard stream(m_streamMutex);
    *position = m_received;
    if (m_awaitingSegment)
        return VFW_E_WRONG_STATE;
    return m_endOfStream ? S_FALSE : S_OK;
}

bool CBaseRenderer::EndOfStreamReceived() const {
    std::lock_guard stream(m_streamMutex);
    return m_endOfStream;
}

HRESULT CBaseRenderer::SetMediaType(const CMediaType*) {
    return S_OK;
}

void CBaseRenderer::OnReceiveFirstSample(IMediaSample*) {}

HRESULT CBaseRenderer::OnStartStreaming() {
    return S_OK;
}

HRESULT CBaseRenderer::OnStopStreaming() {
    return S_OK;
}

HRESULT CBaseRenderer::OnEndOfStream() {
    return S_OK;
}

void CBaseRenderer::OnFlush() {}

void CBaseRenderer::OnStateChanged() {}

void CBaseRenderer::Interrupt() {
    m_interrupt.Set();
}

HRESULT CBaseRenderer::WaitForRenderTime(const REFERENCE_TIME* until) {
    for (;;) {
        if (m_input->IsFlushing() || IsStopped())
            return S_FALSE;
        if (State() == State_Paused) {
            m_interrupt.Wait(sync::kInfinite);
            continue;
        }
        if (!until || !PacedByClock())
            return S_OK;
        const com::ComPtr<IReferenceClock> clock = Clock();
        if (!clock)
            return S_OK;
        const REFERENCE_TIME start = StartTime();
        REFERENCE_TIME now = 0;
        if (com::Failed(clock->GetTime(&now)) || now >= start + *until)
            return S_OK;
        std::uintptr_t cookie = 0;
        if (com::Failed(clock->AdviseTime(start, *until, &m_advise, &cookie)))
            return S_OK;
        sync::Event* events[] = {&m_interrupt, &m_advise};
        sync::WaitForAny(events, sync::kInfinite);
        clock->Unadvise(cookie);
    }
}

HRESULT CBaseRenderer::Receive(IMediaSample* sample) {
    if (!sample)
        return E_POINTER;
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    const HRESULT times = sample->GetTime(&start, &stop);
    const bool timed = times == S_OK || times == VFW_S_NO_STOP_TIME;
    bool showFirst = false;
    {
        std::lock_guard stream(m_streamMutex);
        if (m_endOfStream)
            return VFW_E_SAMPLE_REJECTED_EOS;
        if (timed)
            m_received = times == S_OK ? stop : start;
        if (State() == State_Paused && !m_firstSampleShown) {
            m_firstSampleShown = true;
            showFirst = true;
        }
    }
    if (showFirst)
        OnReceiveFirstSample(sample);
    if (WaitForRenderTime(timed ? &start : nullptr) != S_OK)
        return S_FALSE;
    const HRESULT result = DoRenderSample(sample);
    if (com::Failed(result)) {
        NotifyEvent(EC_ERRORABORT, result, 0);
        return result;
    }
    return S_OK;
}

HRESULT CBaseRenderer::EndOfStream() {
    REFERENCE_TIME last = 0;
    {
        std::lock_guard stream(m_streamMutex);
        if (m_endOfStream)
            return S_OK;
        m_endOfStream = true;
        last = m_received;
    }
    OnEndOfStream();
    if (WaitForRenderTime(&last) != S_OK)
        return S_OK; // stopped or flushed: the stream did not end here
    {
        std::lock_guard stream(m_streamMutex);
        if (!m_endOfStream || m_completeSent)
            return S_OK;
        m_completeSent = true;
    }
    // param2 names the renderer, so the graph counts each renderer once.
    NotifyEvent(EC_COMPLETE, S_OK,
                reinterpret_cast<std::intptr_t>(static_cast<IBaseFilter*>(this)));
    return S_OK;
}

HRESULT CBaseRenderer::BeginFlush() {
    {
        std::lock_guard stream(m_streamMutex);
        m_endOfStream = false;
        m_completeSent = false;
        m_firstSampleShown = false;
        m_awaitingSegment = true;
    }
    Interrupt();
    OnFlush();
    return S_OK;
}

HRESULT CBaseRenderer::EndFlush() {
    return S_OK;
}

HRESULT CBaseRenderer::NewSegment(REFERENCE_TIME start, REFERENCE_TIME, double) {
    std::lock_guard stream(m_streamMutex);
    m_received = start;
    m_awaitingSegment = false;
    return S_OK;
}

} // namespace fz::media
