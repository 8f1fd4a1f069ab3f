#include "tests/audio/support/PushSource.h"

#include "platform/com/ModuleCounts.h"

#include <algorithm>
#include <cstring>

// The renderer test programs count their COM objects here.
FZ_COM_DEFINE_MODULE()

namespace fz::test {

using media::CMediaType;
using media::IMediaSample;

namespace {
// A class identifier of the tests' own.
constexpr com::CLSID kPushSourceClsid = com::MakeGuid("{5D0F37A2-64C1-4E0B-9B7A-2F1C8E7D9A31}");
} // namespace

CPushSource::OutputPin::OutputPin(CPushSource* source, const CMediaType& type, long bufferSize)
    : CBaseOutputPin(source, "Output")
    , m_offered(type)
    , m_bufferSize(bufferSize) {}

HRESULT CPushSource::OutputPin::CheckMediaType(const CMediaType* type) {
    return type && *type == m_offered ? com::S_OK : media::VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CPushSource::OutputPin::GetMediaType(int position, CMediaType* type) {
    if (position != 0)
        return media::VFW_S_NO_MORE_ITEMS;
    *type = m_offered;
    return com::S_OK;
}

HRESULT CPushSource::OutputPin::DecideBufferSize(media::IMemAllocator* allocator,
                                                 media::ALLOCATOR_PROPERTIES* properties) {
    properties->cBuffers = std::max(properties->cBuffers, 4L);
    properties->cbBuffer = std::max(properties->cbBuffer, m_bufferSize);
    media::ALLOCATOR_PROPERTIES actual;
    const HRESULT result = allocator->SetProperties(properties, &actual);
    if (com::Failed(result))
        return result;
    return actual.cbBuffer >= m_bufferSize ? com::S_OK : com::E_FAIL;
}

CPushSource::CPushSource(const CMediaType& type, long bufferSize,
                         std::vector<ScriptedSample> script)
    : CBaseFilter("Push Source", nullptr, kPushSourceClsid)
    , m_output(this, type, bufferSize)
    , m_script(std::move(script)) {}

CPushSource::~CPushSource() {
    Join();
}

CPushSource* CPushSource::Create(const CMediaType& type, long bufferSize,
                                 std::vector<ScriptedSample> script,
                                 com::ComPtr<media::IBaseFilter>* filter) {
    auto* source = new CPushSource(type, bufferSize, std::move(script));
    source->NonDelegatingQueryInterface(media::IBaseFilter::kIid, filter->PutVoid());
    source->NonDelegatingRelease();
    return source;
}

media::CBasePin* CPushSource::GetPin(int index) {
    return index == 0 ? &m_output : nullptr;
}

media::IPin* CPushSource::Output() {
    return &m_output;
}

HRESULT CPushSource::Pause() {
    const bool starting = IsStopped();
    const HRESULT result = CBaseFilter::Pause();
    if (com::Succeeded(result) && starting) {
        Join();
        m_thread = std::thread([this] { Stream(); });
    }
    return result;
}

HRESULT CPushSource::Stop() {
    const HRESULT result = CBaseFilter::Stop(); // decommits: a waiting GetBuffer returns
    Join();
    return result;
}

void CPushSource::Join() {
    if (m_thread.joinable())
        m_thread.join();
}

void CPushSource::Stream() {
    for (const ScriptedSample& item : m_script) {
        IMediaSample* sample = nullptr;
        HRESULT result = m_output.GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
        if (com::Failed(result) || !sample) {
            m_lastResult = result;
            return;
        }
        std::uint8_t* data = nullptr;
        sample->GetPointer(&data);
        const long length = std::min<long>(static_cast<long>(item.bytes.size()), sample->GetSize());
        std::memcpy(data, item.bytes.data(), static_cast<std::size_t>(length));
        sample->SetActualDataLength(length);
        media::REFERENCE_TIME start = item.start;
        media::REFERENCE_TIME stop = item.stop;
        sample->SetTime(&start, &stop);
        result = m_output.Deliver(sample);
        sample->Release();
        m_lastResult = result;
        if (result != com::S_OK)
            return;
        ++m_delivered;
    }
    m_output.DeliverEndOfStream();
}

} // namespace fz::test
