#include "tests/media/support/TestFilters.h"

#include <algorithm>
#include <cstring>

// Objects made by the media test programs count in the program's own module.
FZ_COM_DEFINE_MODULE()

namespace fz::media::test {

using com::E_POINTER;
using com::S_FALSE;
using com::S_OK;

// A class identifier of the tests' own for the test filters.
inline constexpr CLSID kTestFilterClass = MakeGuid("{0D3C5E21-7A44-4B8E-9F10-2C6B8A1E5D90}");

StreamScript EvenStream(const CMediaType& type, int count, REFERENCE_TIME frameTime, long length) {
    StreamScript script;
    script.type = type;
    for (int i = 0; i < count; ++i) {
        ScriptedSample sample;
        sample.start = i * frameTime;
        sample.stop = (i + 1) * frameTime;
        sample.length = length;
        sample.fill = static_cast<std::uint8_t>(i);
        script.samples.push_back(sample);
    }
    script.bufferSize = std::max(length, 16L);
    return script;
}

com::ComPtr<IPin> PinOf(IBaseFilter* filter, const char* name) {
    com::ComPtr<IPin> pin;
    filter->FindPin(name, pin.ReleaseAndGetAddressOf());
    return pin;
}

// --- CTestSourcePin ---

CTestSourcePin::CTestSourcePin(CTestSource* source, const char* name, StreamScript script)
    : CBaseOutputPin(source, name)
    , m_script(std::move(script)) {}

CTestSourcePin::~CTestSourcePin() {
    StopStreaming();
}

HRESULT CTestSourcePin::CheckMediaType(const CMediaType* type) {
    return type && *type == m_script.type ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CTestSourcePin::GetMediaType(int position, CMediaType* type) {
    if (position < 0)
        return com::E_INVALIDARG;
    if (position > 0)
        return VFW_S_NO_MORE_ITEMS;
    *type = m_script.type;
    return S_OK;
}

HRESULT CTestSourcePin::DecideBufferSize(IMemAllocator* allocator,
                                         ALLOCATOR_PROPERTIES* properties) {
    properties->cBuffers = std::max(properties->cBuffers, m_script.bufferCount);
    properties->cbBuffer = std::max(properties->cbBuffer, m_script.bufferSize);
    ALLOCATOR_PROPERTIES actual;
    const HRESULT result = allocator->SetProperties(properties, &actual);
    if (com::Failed(result))
        return result;
    return actual.cbBuffer >= m_script.bufferSize ? S_OK : com::E_FAIL;
}

void CTestSourcePin::StartStreaming(REFERENCE_TIME from, REFERENCE_TIME duration) {
    if (!IsConnected() || m_thread.joinable())
        return;
    m_stopRequested = false;
    m_thread = std::thread([this, from, duration] { StreamLoop(from, duration); });
}

void CTestSourcePin::StopStreaming() {
    m_stopRequested = true;
    if (m_thread.joinable())
        m_thread.join();
}

std::vector<HRESULT> CTestSourcePin::DeliveryResults() const {
    std::lock_guard lock(m_resultsMutex);
    return m_results;
}

void CTestSourcePin::StreamLoop(REFERENCE_TIME from, REFERENCE_TIME duration) {
    DeliverNewSegment(from, duration, 1.0);
    bool first = true;
    for (std::size_t index = 0; index < m_script.samples.size(); ++index) {
        const ScriptedSample& scripted = m_script.samples[index];
        if (scripted.timed && scripted.stop <= from && from > 0)
            continue;
        if (m_stopRequested)
            return;
        if (m_script.beforeDeliver)
            m_script.beforeDeliver(index);
        IMediaSample* sample = nullptr;
        if (GetDeliveryBuffer(&sample, nullptr, nullptr, 0) != S_OK)
            return;
        std::uint8_t* bytes = nullptr;
        sample->GetPointer(&bytes);
        const long length = std::min<long>(scripted.length, sample->GetSize());
        std::memset(bytes, scripted.fill, static_cast<std::size_t>(length));
        sample->SetActualDataLength(length);
        if (scripted.timed)
            sample->SetTime(&scripted.start, &scripted.stop);
        sample->SetSyncPoint(true);
        sample->SetDiscontinuity(first);
        first = false;
        const HRESULT result = Deliver(sample);
        sample->Release();
        {
            std::lock_guard lock(m_resultsMutex);
            m_results.push_back(result);
        }
        if (result != S_OK)
            return; // stopping, flushing, or a failure downstream (reported there)
    }
    if (m_script.endOfStream && !m_stopRequested)
        DeliverEndOfStream();
}

// --- CTestSource ---

CTestSource::CTestSource(std::vector<StreamScript> streams, REFERENCE_TIME duration,
                         std::uint32_t capabilities)
    : CBaseFilter("Test Source", nullptr, kTestFilterClass)
    , m_duration(duration)
    , m_capabilities(capabilities) {
    int number = 0;
    for (StreamScript& stream : streams) {
        const std::string name = "Output " + std::to_string(number++);
        m_pins.push_back(std::make_unique<CTestSourcePin>(this, name.c_str(), std::move(stream)));
    }
}

CTestSource::~CTestSource() {
    for (auto& pin : m_pins)
        pin->StopStreaming();
}

HRESULT CTestSource::NonDelegatingQueryInterface(const IID& iid, void** object) {
    if (iid == IMediaSeeking::kIid)
        return com::GetInterface(static_cast<IMediaSeeking*>(this), object);
    return CBaseFilter::NonDelegatingQueryInterface(iid, object);
}

CBasePin* CTestSource::GetPin(int index) {
    if (index < 0 || index >= GetPinCount())
        return nullptr;
    return m_pins[static_cast<std::size_t>(index)].get();
}

HRESULT CTestSource::Stop() {
    std::lock_guard lock(m_filterLock);
    for (auto& pin : m_pins)
        pin->StopStreaming();
    return CBaseFilter::Stop();
}

HRESULT CTestSource::Pause() {
    std::lock_guard lock(m_filterLock);
    const bool wasStopped = IsStopped();
    const HRESULT result = CBaseFilter::Pause();
    if (com::Succeeded(result) && wasStopped)
        for (auto& pin : m_pins)
            pin->StartStreaming(m_position, m_duration);
    return result;
}

HRESULT CTestSource::GetCapabilities(std::uint32_t* capabilities) {
    if (!capabilities)
        return E_POINTER;
    *capabilities = m_capabilities;
    return S_OK;
}

HRESULT CTestSource::CheckCapabilities(std::uint32_t* capabilities) {
    if (!capabilities)
        return E_POINTER;
    const std::uint32_t asked = *capabilities;
    *capabilities &= m_capabilities;
    return *capabilities == asked ? S_OK : (*capabilities ? S_FALSE : com::E_FAIL);
}

HRESULT CTestSource::IsFormatSupported(const GUID* format) {
    return format && *format == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}

HRESULT CTestSource::QueryPreferredFormat(GUID* format) {
    if (!format)
        return E_POINTER;
    *format = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
}

HRESULT CTestSource::GetTimeFormat(GUID* format) {
    return QueryPreferredFormat(format);
}

HRESULT CTestSource::IsUsingTimeFormat(const GUID* format) {
    return IsFormatSupported(format);
}

HRESULT CTestSource::SetTimeFormat(const GUID* format) {
    return IsFormatSupported(format) == S_OK ? S_OK : com::E_INVALIDARG;
}

HRESULT CTestSource::GetDuration(std::int64_t* duration) {
    if (!duration)
        return E_POINTER;
    if (!(m_capabilities & AM_SEEKING_CanGetDuration))
        return com::E_NOTIMPL;
    *duration = m_duration;
    return S_OK;
}

HRESULT CTestSource::GetStopPosition(std::int64_t* stop) {
    if (!stop)
        return E_POINTER;
    *stop = m_duration;
    return S_OK;
}

HRESULT CTestSource::GetCurrentPosition(std::int64_t* current) {
    if (!current)
        return E_POINTER;
    std::lock_guard lock(m_filterLock);
    *current = m_position;
    return S_OK;
}

HRESULT CTestSource::ConvertTimeFormat(std::int64_t* target, const GUID*, std::int64_t source,
                                       const GUID*) {
    if (!target)
        return E_POINTER;
    *target = source;
    return S_OK;
}

HRESULT CTestSource::SetPositions(std::int64_t* current, std::uint32_t currentFlags, std::int64_t*,
                                  std::uint32_t) {
    if ((currentFlags & AM_SEEKING_PositioningBitsMask) != AM_SEEKING_AbsolutePositioning)
        return S_OK;
    if (!current)
        return E_POINTER;
    std::lock_guard lock(m_filterLock);
    m_position = *current;
    if (IsStopped())
        return S_OK;
    // Flush releases every wait downstream, so each thread ends; then a new segment at the
    // new position.
    for (auto& pin : m_pins) {
        if (!pin->IsConnected())
            continue;
        pin->DeliverBeginFlush();
        pin->StopStreaming();
        pin->DeliverEndFlush();
    }
    for (auto& pin : m_pins)
        pin->StartStreaming(m_position, m_duration);
    return S_OK;
}

HRESULT CTestSource::GetPositions(std::int64_t* current, std::int64_t* stop) {
    if (current)
        GetCurrentPosition(current);
    if (stop)
        *stop = m_duration;
    return S_OK;
}

HRESULT CTestSource::GetAvailable(std::int64_t* earliest, std::int64_t* latest) {
    if (earliest)
        *earliest = 0;
    if (latest)
        *latest = m_duration;
    return S_OK;
}

HRESULT CTestSource::SetRate(double rate) {
    return rate == 1.0 ? S_OK : com::E_NOTIMPL;
}

HRESULT CTestSource::GetRate(double* rate) {
    if (!rate)
        return E_POINTER;
    *rate = 1.0;
    return S_OK;
}

HRESULT CTestSource::GetPreroll(std::int64_t* preroll) {
    if (!preroll)
        return E_POINTER;
    *preroll = 0;
    return S_OK;
}

// --- CTestTransform ---

CTestTransform::CTestTransform(long bufferCount, TransformFunction transform)
    : CTransformFilter("Test Transform", nullptr, kTestFilterClass)
    , m_bufferCount(bufferCount)
    , m_transform(std::move(transform)) {}

HRESULT CTestTransform::CheckInputType(const CMediaType* in) {
    if (!in)
        return E_POINTER;
    return in->IsValid() ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CTestTransform::CheckTransform(const CMediaType* in, const CMediaType* out) {
    if (!in || !out)
        return E_POINTER;
    return *in == *out ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CTestTransform::DecideBufferSize(IMemAllocator* allocator,
                                         ALLOCATOR_PROPERTIES* properties) {
    if (!allocator || !properties)
        return E_POINTER;
    ALLOCATOR_PROPERTIES upstream;
    IMemAllocator* inputAllocator = InputPin()->Allocator();
    if (!inputAllocator || inputAllocator->GetProperties(&upstream) != S_OK)
        return com::E_UNEXPECTED;
    properties->cBuffers = m_bufferCount;
    properties->cbBuffer = upstream.cbBuffer;
    const HRESULT result = allocator->SetProperties(properties, &m_granted);
    if (com::Failed(result))
        return result;
    return m_granted.cBuffers >= m_bufferCount && m_granted.cbBuffer >= upstream.cbBuffer
               ? S_OK
               : com::E_FAIL;
}

HRESULT CTestTransform::GetMediaType(int position, CMediaType* type) {
    if (!InputPin()->IsConnected())
        return com::E_UNEXPECTED;
    if (position < 0)
        return com::E_INVALIDARG;
    if (position > 0)
        return VFW_S_NO_MORE_ITEMS;
    if (!type)
        return E_POINTER;
    *type = InputPin()->CurrentMediaType();
    return S_OK;
}

HRESULT CTestTransform::Transform(IMediaSample* in, IMediaSample* out) {
    if (m_transform)
        return m_transform(in, out);
    std::uint8_t* from = nullptr;
    std::uint8_t* to = nullptr;
    in->GetPointer(&from);
    out->GetPointer(&to);
    const long length = std::min(in->GetActualDataLength(), out->GetSize());
    std::memcpy(to, from, static_cast<std::size_t>(length));
    return out->SetActualDataLength(length);
}

// --- CTestRenderer ---

CTestRenderer::CTestRenderer(bool pacedByClock, GUID major)
    : CBaseRenderer("Test Renderer", nullptr, kTestFilterClass)
    , m_paced(pacedByClock)
    , m_major(major) {}

HRESULT CTestRenderer::CheckMediaType(const CMediaType* type) {
    if (!type)
        return E_POINTER;
    if (m_major != com::GUID_NULL && type->majortype != m_major)
        return VFW_E_TYPE_NOT_ACCEPTED;
    return S_OK;
}

HRESULT CTestRenderer::DoRenderSample(IMediaSample* sample) {
    RenderedSample rendered;
    rendered.timeResult = sample->GetTime(&rendered.start, &rendered.stop);
    rendered.length = sample->GetActualDataLength();
    sample->GetPointer(&rendered.buffer);
    rendered.firstByte = rendered.length > 0 ? rendered.buffer[0] : 0;
    rendered.discontinuity = sample->IsDiscontinuity() == S_OK;
    rendered.renderedAt = std::chrono::steady_clock::now();
    {
        std::lock_guard lock(m_mutex);
        m_rendered.push_back(rendered);
        if (m_keepLast)
            m_kept = com::ComPtr<IMediaSample>(sample);
    }
    m_changed.notify_all();
    return m_renderResult.load();
}

void CTestRenderer::DropKeptSample() {
    com::ComPtr<IMediaSample> kept;
    {
        std::lock_guard lock(m_mutex);
        kept = std::move(m_kept);
    }
}

HRESULT CTestRenderer::OnStopStreaming() {
    DropKeptSample();
    return S_OK;
}

void CTestRenderer::OnFlush() {
    DropKeptSample();
}

void CTestRenderer::OnReceiveFirstSample(IMediaSample*) {
    {
        std::lock_guard lock(m_mutex);
        ++m_prerolled;
    }
    m_changed.notify_all();
}

bool CTestRenderer::WaitForPrerolled(std::size_t count, int timeoutMs) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_prerolled >= count; });
}

std::vector<RenderedSample> CTestRenderer::Rendered() const {
    std::lock_guard lock(m_mutex);
    return m_rendered;
}

bool CTestRenderer::WaitForRendered(std::size_t count, int timeoutMs) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_rendered.size() >= count; });
}

} // namespace fz::media::test
