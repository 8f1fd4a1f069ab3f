#include "platform/media/base/TransformFilter.h"

#include "platform/media/base/MediaSample.h"

namespace fz::media {

using com::E_POINTER;
using com::E_UNEXPECTED;
using com::S_FALSE;
using com::S_OK;

// --- CTransformInputPin ---

CTransformInputPin::CTransformInputPin(CTransformFilter* filter, const char* name)
    : CBaseInputPin(filter, name)
    , m_transform(filter) {}

HRESULT CTransformInputPin::CheckMediaType(const CMediaType* type) {
    return m_transform->CheckInputType(type);
}

HRESULT CTransformInputPin::SetMediaType(const CMediaType* type) {
    const HRESULT result = CBaseInputPin::SetMediaType(type);
    if (com::Failed(result))
        return result;
    return m_transform->SetMediaType(PINDIR_INPUT, type);
}

HRESULT CTransformInputPin::CheckConnect(IPin* pin) {
    const HRESULT result = m_transform->CheckConnect(PINDIR_INPUT, pin);
    if (com::Failed(result))
        return result;
    return CBaseInputPin::CheckConnect(pin);
}

HRESULT CTransformInputPin::BreakConnect() {
    m_transform->BreakConnect(PINDIR_INPUT);
    return CBaseInputPin::BreakConnect();
}

HRESULT CTransformInputPin::CompleteConnect(IPin* receivePin) {
    const HRESULT result = m_transform->CompleteConnect(PINDIR_INPUT, receivePin);
    if (com::Failed(result))
        return result;
    return CBaseInputPin::CompleteConnect(receivePin);
}

HRESULT CTransformInputPin::Receive(IMediaSample* sample) {
    std::lock_guard lock(m_transform->m_receiveLock);
    const HRESULT result = CBaseInputPin::Receive(sample);
    if (result != S_OK)
        return result;
    return m_transform->Receive(sample);
}

HRESULT CTransformInputPin::EndOfStream() {
    std::lock_guard lock(m_transform->m_receiveLock);
    const HRESULT streaming = CheckStreaming();
    if (streaming != S_OK)
        return streaming;
    return m_transform->EndOfStream();
}

HRESULT CTransformInputPin::BeginFlush() {
    CBaseInputPin::BeginFlush();
    return m_transform->BeginFlush();
}

HRESULT CTransformInputPin::EndFlush() {
    const HRESULT result = m_transform->EndFlush();
    CBaseInputPin::EndFlush();
    return result;
}

HRESULT CTransformInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    CBaseInputPin::NewSegment(start, stop, rate);
    return m_transform->NewSegment(start, stop, rate);
}

// --- CTransformOutputPin ---

CTransformOutputPin::CTransformOutputPin(CTransformFilter* filter, const char* name)
    : CBaseOutputPin(filter, name)
    , m_transform(filter) {}

HRESULT CTransformOutputPin::CheckMediaType(const CMediaType* type) {
    CTransformInputPin* input = m_transform->InputPin();
    if (!input->IsConnected())
        return E_UNEXPECTED;
    return m_transform->CheckTransform(&input->CurrentMediaType(), type);
}

HRESULT CTransformOutputPin::GetMediaType(int position, CMediaType* type) {
    return m_transform->GetMediaType(position, type);
}

HRESULT CTransformOutputPin::SetMediaType(const CMediaType* type) {
    const HRESULT result = CBaseOutputPin::SetMediaType(type);
    if (com::Failed(result))
        return result;
    return m_transform->SetMediaType(PINDIR_OUTPUT, type);
}

HRESULT CTransformOutputPin::CheckConnect(IPin* pin) {
    if (!m_transform->InputPin()->IsConnected())
        return E_UNEXPECTED;
    const HRESULT result = m_transform->CheckConnect(PINDIR_OUTPUT, pin);
    if (com::Failed(result))
        return result;
    return CBaseOutputPin::CheckConnect(pin);
}

HRESULT CTransformOutputPin::BreakConnect() {
    m_transform->BreakConnect(PINDIR_OUTPUT);
    return CBaseOutputPin::BreakConnect();
}

HRESULT CTransformOutputPin::CompleteConnect(IPin* receivePin) {
    const HRESULT result = m_transform->CompleteConnect(PINDIR_OUTPUT, receivePin);
    if (com::Failed(result))
        return result;
    return CBaseOutputPin::CompleteConnect(receivePin);
}

HRESULT CTransformOutputPin::DecideBufferSize(IMemAllocator* allocator,
                                              ALLOCATOR_PROPERTIES* properties) {
    return m_transform->DecideBufferSize(allocator, properties);
}

// --- CTransformFilter ---

CTransformFilter::CTransformFilter(const char* name, IUnknown* outer, const CLSID& clsid)
    : CBaseFilter(name, outer, clsid)
    , m_input(std::make_unique<CTransformInputPin>(this, "Input"))
    , m_output(std::make_unique<CTransformOutputPin>(this, "Output")) {}

CTransformFilter::~CTransformFilter() = default;

CBasePin* CTransformFilter::GetPin(int index) {
    if (index == 0)
        return m_input.get();
    if (index == 1)
        return m_output.get();
    return nullptr;
}

HRESULT CTransformFilter::Stop() {
    std::lock_guard lock(m_filterLock);
    if (IsStopped())
        return S_OK;
    // Deactivating the pins decommits the allocators, which releases a Receive that waits for
    // a buffer; the receive lock then waits for a Receive in progress to finish.
    const HRESULT result = CBaseFilter::Stop();
    std::lock_guard receiving(m_receiveLock);
    StopStreaming();
    return result;
}

HRESULT CTransformFilter::Pause() {
    std::lock_guard lock(m_filterLock);
    if (IsStopped() && m_input->IsConnected()) {
        const HRESULT started = StartStreaming();
        if (com::Failed(started))
            return started;
    }
    return CBaseFilter::Pause();
}

HRESULT CTransformFilter::SetMediaType(PIN_DIRECTION, const CMediaType*) {
    return S_OK;
}

HRESULT CTransformFilter::CheckConnect(PIN_DIRECTION, IPin*) {
    return S_OK;
}

HRESULT CTransformFilter::BreakConnect(PIN_DIRECTION) {
    return S_OK;
}

HRESULT CTransformFilter::CompleteConnect(PIN_DIRECTION, IPin*) {
    return S_OK;
}

HRESULT CTransformFilter::StartStreaming() {
    return S_OK;
}

HRESULT CTransformFilter::StopStreaming() {
    return S_OK;
}

HRESULT CTransformFilter::InitializeOutputSample(IMediaSample* in, IMediaSample** out) {
    if (!in || !out)
        return E_POINTER;
    *out = nullptr;
    IMediaSample* sample = nullptr;
    HRESULT result = m_output->GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
    if (com::Failed(result))
        return result;
    result = CopySampleProperties(in, sample);
    if (com::Failed(result)) {
        sample->Release();
        return result;
    }
    *out = sample;
    return S_OK;
}

HRESULT CTransformFilter::Receive(IMediaSample* sample) {
    if (!m_output->IsConnected())
        return S_OK; // nothing downstream: the sample ends here
    IMediaSample* out = nullptr;
    HRESULT result = InitializeOutputSample(sample, &out);
    if (com::Failed(result)) {
        // A decommitted allocator means the graph is stopping: not a streaming error.
        return result == VFW_E_NOT_COMMITTED ? S_FALSE : result;
    }
    result = Transform(sample, out);
    if (result == S_OK) {
        result = m_output->Deliver(out);
    } else if (result == S_FALSE) {
        result = S_OK;
    } else {
        NotifyEvent(EC_ERRORABORT, result, 0);
    }
    out->Release();
    return result;
}

HRESULT CTransformFilter::EndOfStream() {
    if (!m_output->IsConnected())
        return S_OK;
    return m_output->DeliverEndOfStream();
}

HRESULT CTransformFilter::BeginFlush() {
    if (!m_output->IsConnected())
        return S_OK;
    return m_output->DeliverBeginFlush();
}

HRESULT CTransformFilter::EndFlush() {
    if (!m_output->IsConnected())
        return S_OK;
    return m_output->DeliverEndFlush();
}

HRESULT CTransformFilter::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    if (!m_output->IsConnected())
        return S_OK;
    return m_output->DeliverNewSegment(start, stop, rate);
}

} // namespace fz::media
