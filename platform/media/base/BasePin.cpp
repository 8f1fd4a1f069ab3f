#include "platform/media/base/BasePin.h"

#include "platform/media/base/BaseFilter.h"
#include "platform/media/base/Enumerators.h"
#include "platform/media/base/MemAllocator.h"

#include <cstring>
#include <new>

namespace fz::media {

using com::E_POINTER;
using com::S_FALSE;
using com::S_OK;

namespace {

// A type the caller gave in part: null GUIDs match anything.
bool MatchesPartial(const AM_MEDIA_TYPE& type, const AM_MEDIA_TYPE* partial) {
    if (!partial)
        return true;
    if (partial->majortype != com::GUID_NULL && partial->majortype != type.majortype)
        return false;
    if (partial->subtype != com::GUID_NULL && partial->subtype != type.subtype)
        return false;
    if (partial->formattype != com::GUID_NULL && partial->formattype != type.formattype)
        return false;
    return true;
}

bool FullySpecified(const AM_MEDIA_TYPE* type) {
    return type && type->majortype != com::GUID_NULL && type->subtype != com::GUID_NULL &&
           type->formattype != com::GUID_NULL;
}

} // namespace

// --- CBasePin ---

CBasePin::CBasePin(CBaseFilter* filter, const char* name, PIN_DIRECTION direction)
    : ContainedObject(filter->Owner())
    , m_filter(filter)
    , m_name(name ? name : "")
    , m_direction(direction) {}

CBasePin::~CBasePin() = default;

HRESULT CBasePin::Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) {
    if (!receivePin)
        return E_POINTER;
    std::lock_guard lock(m_filter->FilterLock());
    if (m_connected)
        return VFW_E_ALREADY_CONNECTED;
    if (!m_filter->IsStopped())
        return VFW_E_NOT_STOPPED;
    if (FullySpecified(type))
        return AttemptConnection(receivePin, CMediaType(*type));
    HRESULT result = TryTypesOf(receivePin, this, type);
    if (result == S_OK)
        return S_OK;
    const HRESULT peerResult = TryTypesOf(receivePin, receivePin, type);
    if (peerResult == S_OK)
        return S_OK;
    if (result == VFW_E_NO_ACCEPTABLE_TYPES)
        result = peerResult;
    return com::Failed(result) ? result : VFW_E_NO_ACCEPTABLE_TYPES;
}

// Tries every type `offeringPin` offers that matches `partial`: S_OK once one connects, the
// last failure when some were tried, VFW_E_NO_ACCEPTABLE_TYPES when none was.
HRESULT CBasePin::TryTypesOf(IPin* receivePin, IPin* offeringPin, const AM_MEDIA_TYPE* partial) {
    com::ComPtr<IEnumMediaTypes> types;
    if (offeringPin->EnumMediaTypes(types.ReleaseAndGetAddressOf()) != S_OK || !types)
        return VFW_E_NO_ACCEPTABLE_TYPES;
    HRESULT result = VFW_E_NO_ACCEPTABLE_TYPES;
    for (;;) {
        AM_MEDIA_TYPE* offered = nullptr;
        std::uint32_t fetched = 0;
        if (types->Next(1, &offered, &fetched) != S_OK || fetched != 1 || !offered)
            break;
        const CMediaType type(*offered);
        DeleteMediaType(offered);
        if (!MatchesPartial(type, partial))
            continue;
        result = AttemptConnection(receivePin, type);
        if (result == S_OK)
            return S_OK;
    }
    return result;
}

HRESULT CBasePin::AttemptConnection(IPin* receivePin, const CMediaType& type) {
    HRESULT result = CheckConnect(receivePin);
    if (result != S_OK) {
        BreakConnect();
        return com::Failed(result) ? result : VFW_E_CANNOT_CONNECT;
    }
    result = CheckMediaType(&type);
    if (result != S_OK) {
        BreakConnect();
        return com::Failed(result) ? result : VFW_E_TYPE_NOT_ACCEPTED;
    }
    m_connected = com::ComPtr<IPin>(receivePin);
    result = SetMediaType(&type);
    if (com::Succeeded(result))
        result = receivePin->ReceiveConnection(this, &type);
    if (com::Succeeded(result)) {
        result = CompleteConnect(receivePin);
        if (com::Failed(result))
            receivePin->Disconnect();
    }
    if (com::Failed(result)) {
        ClearConnection();
        BreakConnect();
        return result;
    }
    return S_OK;
}

HRESULT CBasePin::ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) {
    if (!connector || !type)
        return E_POINTER;
    std::lock_guard lock(m_filter->FilterLock());
    if (m_connected)
        return VFW_E_ALREADY_CONNECTED;
    if (!m_filter->IsStopped())
        return VFW_E_NOT_STOPPED;
    HRESULT result = CheckConnect(connector);
    if (result != S_OK) {
        BreakConnect();
        return com::Failed(result) ? result : VFW_E_CANNOT_CONNECT;
    }
    const CMediaType offered(*type);
    result = CheckMediaType(&offered);
    if (result != S_OK) {
        BreakConnect();
        return com::Failed(result) ? result : VFW_E_TYPE_NOT_ACCEPTED;
    }
    m_connected = com::ComPtr<IPin>(connector);
    result = SetMediaType(&offered);
    if (com::Succeeded(result))
        result = CompleteConnect(connector);
    if (com::Failed(result)) {
        ClearConnection();
        BreakConnect();
        return result;
    }
    return S_OK;
}

HRESULT CBasePin::Disconnect() {
    std::lock_guard lock(m_filter->FilterLock());
    if (!m_filter->IsStopped())
        return VFW_E_NOT_STOPPED;
    if (!m_connected)
        return S_FALSE;
    const HRESULT result = BreakConnect();
    ClearConnection();
    return com::Failed(result) ? result : S_OK;
}

void CBasePin::ClearConnection() {
    m_connected.Reset();
    m_type = CMediaType();
}

HRESULT CBasePin::ConnectedTo(IPin** pin) {
    if (!pin)
        return E_POINTER;
    *pin = nullptr;
    std::lock_guard lock(m_filter->FilterLock());
    if (!m_connected)
        return VFW_E_NOT_CONNECTED;
    return m_connected.CopyTo(pin);
}

HRESULT CBasePin::ConnectionMediaType(AM_MEDIA_TYPE* type) {
    if (!type)
        return E_POINTER;
    std::lock_guard lock(m_filter->FilterLock());
    if (!m_connected) {
        *type = AM_MEDIA_TYPE();
        return VFW_E_NOT_CONNECTED;
    }
    return CopyMediaType(type, &m_type);
}

HRESULT CBasePin::QueryPinInfo(PIN_INFO* info) {
    if (!info)
        return E_POINTER;
    info->pFilter = m_filter;
    m_filter->AddRef();
    info->dir = m_direction;
    const std::size_t length = std::min<std::size_t>(m_name.size(), kMaxNameLength - 1);
    std::memcpy(info->achName, m_name.data(), length);
    info->achName[length] = '\0';
    return S_OK;
}

HRESULT CBasePin::QueryDirection(PIN_DIRECTION* direction) {
    if (!direction)
        return E_POINTER;
    *direction = m_direction;
    return S_OK;
}

HRESULT CBasePin::QueryAccept(const AM_MEDIA_TYPE* type) {
    if (!type)
        return E_POINTER;
    const CMediaType offered(*type);
    return CheckMediaType(&offered) == S_OK ? S_OK : S_FALSE;
}

HRESULT CBasePin::EnumMediaTypes(IEnumMediaTypes** types) {
    if (!types)
        return E_POINTER;
    *types = new (std::nothrow) CEnumMediaTypes(this);
    return *types ? S_OK : com::E_OUTOFMEMORY;
}

HRESULT CBasePin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    m_segmentStart = start;
    m_segmentStop = stop;
    m_segmentRate = rate;
    return S_OK;
}

HRESULT CBasePin::GetMediaType(int, CMediaType*) {
    return VFW_S_NO_MORE_ITEMS;
}

HRESULT CBasePin::SetMediaType(const CMediaType* type) {
    if (!type)
        return E_POINTER;
    m_type = *type;
    return S_OK;
}

HRESULT CBasePin::CheckConnect(IPin* pin) {
    PIN_DIRECTION direction = PINDIR_INPUT;
    if (!pin || pin->QueryDirection(&direction) != S_OK)
        return E_POINTER;
    return direction == m_direction ? VFW_E_INVALID_DIRECTION : S_OK;
}

HRESULT CBasePin::CompleteConnect(IPin*) {
    return S_OK;
}

HRESULT CBasePin::BreakConnect() {
    return S_OK;
}

HRESULT CBasePin::Active() {
    return S_OK;
}

HRESULT CBasePin::Inactive() {
    m_flushing = false;
    return S_OK;
}

// --- CBaseInputPin ---

CBaseInputPin::CBaseInputPin(CBaseFilter* filter, const char* name)
    : CBasePin(filter, name, PINDIR_INPUT) {}

CBaseInputPin::~CBaseInputPin() = default;

void* CBaseInputPin::FindInterface(const IID& iid) noexcept {
    if (iid == IMemInputPin::kIid)
        return static_cast<IMemInputPin*>(this);
    return CBasePin::FindInterface(iid);
}

HRESULT CBaseInputPin::EndOfStream() {
    return S_OK;
}

HRESULT CBaseInputPin::BeginFlush() {
    m_flushing = true;
    return S_OK;
}

HRESULT CBaseInputPin::EndFlush() {
    m_flushing = false;
    return S_OK;
}

HRESULT CBaseInputPin::GetAllocator(IMemAllocator** allocator) {
    if (!allocator)
        return E_POINTER;
    if (!m_allocator) {
        auto* created = new (std::nothrow) CMemAllocator;
        if (!created)
            return com::E_OUTOFMEMORY;
        m_allocator.Attach(created);
    }
    return m_allocator.CopyTo(allocator);
}

HRESULT CBaseInputPin::NotifyAllocator(IMemAllocator* allocator, bool readOnly) {
    if (!allocator)
        return E_POINTER;
    m_allocator = com::ComPtr<IMemAllocator>(allocator);
    m_readOnly = readOnly;
    return S_OK;
}

HRESULT CBaseInputPin::GetAllocatorRequirements(ALLOCATOR_PROPERTIES*) {
    return com::E_NOTIMPL;
}

HRESULT CBaseInputPin::CheckStreaming() {
    if (!IsConnected())
        return VFW_E_NOT_CONNECTED;
    if (IsFlushing())
        return S_FALSE;
    if (m_filter->IsStopped())
        return VFW_E_WRONG_STATE;
    return S_OK;
}

HRESULT CBaseInputPin::Receive(IMediaSample* sample) {
    if (!sample)
        return E_POINTER;
    const HRESULT streaming = CheckStreaming();
    if (streaming != S_OK)
        return streaming;
    AM_MEDIA_TYPE* changed = nullptr;
    if (sample->GetMediaType(&changed) == S_OK && changed) {
        const CMediaType type(*changed);
        DeleteMediaType(changed);
        if (CheckMediaType(&type) != S_OK)
            return VFW_E_INVALIDMEDIATYPE;
        SetMediaType(&type);
    }
    return S_OK;
}

HRESULT CBaseInputPin::ReceiveMultiple(IMediaSample** samples, long count, long* processed) {
    if (!samples || !processed)
        return E_POINTER;
    *processed = 0;
    HRESULT result = S_OK;
    while (*processed < count) {
        result = Receive(samples[*processed]);
        if (result != S_OK)
            break;
        ++*processed;
    }
    return result;
}

HRESULT CBaseInputPin::ReceiveCanBlock() {
    return S_OK;
}

HRESULT CBaseInputPin::CheckConnect(IPin* pin) {
    return CBasePin::CheckConnect(pin);
}

HRESULT CBaseInputPin::BreakConnect() {
    if (m_allocator) {
        m_allocator->Decommit();
        m_allocator.Reset();
    }
    return S_OK;
}

HRESULT CBaseInputPin::Inactive() {
    CBasePin::Inactive();
    if (m_allocator)
        m_allocator->Decommit();
    return S_OK;
}

// --- CBaseOutputPin ---

CBaseOutputPin::CBaseOutputPin(CBaseFilter* filter, const char* name)
    : CBasePin(filter, name, PINDIR_OUTPUT) {}

CBaseOutputPin::~CBaseOutputPin() = default;

HRESULT CBaseOutputPin::EndOfStream() {
    return com::E_UNEXPECTED;
}

HRESULT CBaseOutputPin::BeginFlush() {
    return com::E_UNEXPECTED;
}

HRESULT CBaseOutputPin::EndFlush() {
    return com::E_UNEXPECTED;
}

HRESULT CBaseOutputPin::CheckConnect(IPin* pin) {
    const HRESULT result = CBasePin::CheckConnect(pin);
    if (result != S_OK)
        return result;
    if (pin->QueryInterface(IMemInputPin::kIid, m_input.PutVoid()) != S_OK)
        return com::E_NOINTERFACE;
    return S_OK;
}

HRESULT CBaseOutputPin::DecideAllocator(IMemInputPin* input, IMemAllocator** allocator) {
    if (!input || !allocator)
        return E_POINTER;
    *allocator = nullptr;
    ALLOCATOR_PROPERTIES requirements;
    if (input->GetAllocatorRequirements(&requirements) != S_OK)
        requirements = ALLOCATOR_PROPERTIES();
    if (requirements.cbAlign == 0)
        requirements.cbAlign = 1;

    HRESULT result = input->GetAllocator(allocator);
    if (result == S_OK && *allocator) {
        ALLOCATOR_PROPERTIES properties = requirements;
        result = DecideBufferSize(*allocator, &properties);
        if (result == S_OK) {
            result = input->NotifyAllocator(*allocator, false);
            if (result == S_OK)
                return S_OK;
        }
    }
    if (*allocator) {
        (*allocator)->Release();
        *allocator = nullptr;
    }
    result = InitAllocator(allocator);
    if (result == S_OK && *allocator) {
        ALLOCATOR_PROPERTIES properties = requirements;
        result = DecideBufferSize(*allocator, &properties);
        if (result == S_OK) {
            result = input->NotifyAllocator(*allocator, false);
            if (result == S_OK)
                return S_OK;
        }
    }
    if (*allocator) {
        (*allocator)->Release();
        *allocator = nullptr;
    }
    return com::Failed(result) ? result : VFW_E_NO_ALLOCATOR;
}

HRESULT CBaseOutputPin::InitAllocator(IMemAllocator** allocator) {
    if (!allocator)
        return E_POINTER;
    *allocator = new (std::nothrow) CMemAllocator;
    return *allocator ? S_OK : com::E_OUTOFMEMORY;
}

HRESULT CBaseOutputPin::CompleteConnect(IPin*) {
    if (!m_input)
        return VFW_E_NO_ALLOCATOR;
    return DecideAllocator(m_input.Get(), m_allocator.ReleaseAndGetAddressOf());
}

HRESULT CBaseOutputPin::BreakConnect() {
    if (m_allocator) {
        m_allocator->Decommit();
        m_allocator.Reset();
    }
    m_input.Reset();
    return S_OK;
}

HRESULT CBaseOutputPin::Active() {
    if (!m_allocator)
        return VFW_E_NO_ALLOCATOR;
    return m_allocator->Commit();
}

HRESULT CBaseOutputPin::Inactive() {
    CBasePin::Inactive();
    if (m_allocator)
        m_allocator->Decommit();
    return S_OK;
}

HRESULT CBaseOutputPin::GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start,
                                          REFERENCE_TIME* stop, std::uint32_t flags) {
    if (!sample)
        return E_POINTER;
    *sample = nullptr;
    if (!m_allocator)
        return VFW_E_NO_ALLOCATOR;
    return m_allocator->GetBuffer(sample, start, stop, flags);
}

HRESULT CBaseOutputPin::Deliver(IMediaSample* sample) {
    if (!m_input)
        return VFW_E_NOT_CONNECTED;
    return m_input->Receive(sample);
}

HRESULT CBaseOutputPin::DeliverEndOfStream() {
    if (!m_connected)
        return VFW_E_NOT_CONNECTED;
    return m_connected->EndOfStream();
}

HRESULT CBaseOutputPin::DeliverBeginFlush() {
    if (!m_connected)
        return VFW_E_NOT_CONNECTED;
    return m_connected->BeginFlush();
}

HRESULT CBaseOutputPin::DeliverEndFlush() {
    if (!m_connected)
        return VFW_E_NOT_CONNECTED;
    return m_connected->EndFlush();
}

HRESULT CBaseOutputPin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
    CBasePin::NewSegment(start, stop, rate);
    if (!m_connected)
        return VFW_E_NOT_CONNECTED;
    return m_connected->NewSegment(start, stop, rate);
}

} // namespace fz::media
