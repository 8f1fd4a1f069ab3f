#include "platform/media/base/BaseFilter.h"

#include "platform/media/base/BasePin.h"
#include "platform/media/base/Enumerators.h"
#include "platform/media/base/GraphInterfaces.h"

#include <cstring>
#include <new>

namespace fz::media {

using com::E_POINTER;
using com::S_FALSE;
using com::S_OK;

namespace {

void CopyName(char (&target)[kMaxNameLength], const std::string& name) {
    const std::size_t length = std::min<std::size_t>(name.size(), kMaxNameLength - 1);
    std::memcpy(target, name.data(), length);
    target[length] = '\0';
}

} // namespace

CBaseFilter::CBaseFilter(const char* name, IUnknown* outer, const CLSID& clsid)
    : AggregatableObject(outer)
    , m_clsid(clsid)
    , m_name(name ? name : "") {}

CBaseFilter::~CBaseFilter() = default;

HRESULT CBaseFilter::NonDelegatingQueryInterface(const IID& iid, void** object) {
    if (iid == IBaseFilter::kIid || iid == IMediaFilter::kIid || iid == IPersist::kIid)
        return com::GetInterface(static_cast<IBaseFilter*>(this), object);
    return AggregatableObject::NonDelegatingQueryInterface(iid, object);
}

HRESULT CBaseFilter::GetClassID(CLSID* clsid) {
    if (!clsid)
        return E_POINTER;
    *clsid = m_clsid;
    return S_OK;
}

HRESULT CBaseFilter::Stop() {
    std::lock_guard lock(m_filterLock);
    HRESULT result = S_OK;
    if (m_state != State_Stopped) {
        const int count = GetPinCount();
        for (int i = 0; i < count; ++i) {
            CBasePin* pin = GetPin(i);
            if (pin && pin->IsConnected()) {
                const HRESULT pinResult = pin->Inactive();
                if (com::Failed(pinResult) && com::Succeeded(result))
                    result = pinResult;
            }
        }
    }
    m_state = State_Stopped;
    return result;
}

HRESULT CBaseFilter::Pause() {
    std::lock_guard lock(m_filterLock);
    if (m_state == State_Stopped) {
        const int count = GetPinCount();
        for (int i = 0; i < count; ++i) {
            CBasePin* pin = GetPin(i);
            if (pin && pin->IsConnected()) {
                const HRESULT result = pin->Active();
                if (com::Failed(result))
                    return result;
            }
        }
    }
    m_state = State_Paused;
    return S_OK;
}

HRESULT CBaseFilter::Run(REFERENCE_TIME start) {
    std::lock_guard lock(m_filterLock);
    if (m_state == State_Stopped) {
        const HRESULT result = Pause();
        if (com::Failed(result))
            return result;
    }
    {
        std::lock_guard shared(m_sharedMutex);
        m_start = start;
    }
    m_state = State_Running;
    return S_OK;
}

HRESULT CBaseFilter::GetState(std::uint32_t, FILTER_STATE* state) {
    if (!state)
        return E_POINTER;
    *state = State();
    return S_OK;
}

HRESULT CBaseFilter::SetSyncSource(IReferenceClock* clock) {
    std::lock_guard lock(m_sharedMutex);
    m_clock = com::ComPtr<IReferenceClock>(clock);
    return S_OK;
}

HRESULT CBaseFilter::GetSyncSource(IReferenceClock** clock) {
    if (!clock)
        return E_POINTER;
    std::lock_guard lock(m_sharedMutex);
    return m_clock.CopyTo(clock);
}

HRESULT CBaseFilter::EnumPins(IEnumPins** pins) {
    if (!pins)
        return E_POINTER;
    *pins = new (std::nothrow) CEnumPins(this);
    return *pins ? S_OK : com::E_OUTOFMEMORY;
}

HRESULT CBaseFilter::FindPin(const char* id, IPin** pin) {
    if (!id || !pin)
        return E_POINTER;
    *pin = nullptr;
    const int count = GetPinCount();
    for (int i = 0; i < count; ++i) {
        CBasePin* candidate = GetPin(i);
        if (candidate && candidate->Name() == id) {
            *pin = candidate;
            candidate->AddRef();
            return S_OK;
        }
    }
    return VFW_E_NOT_FOUND;
}

HRESULT CBaseFilter::QueryFilterInfo(FILTER_INFO* info) {
    if (!info)
        return E_POINTER;
    std::lock_guard lock(m_sharedMutex);
    CopyName(info->achName, m_name);
    info->pGraph = m_graph;
    if (m_graph)
        m_graph->AddRef();
    return S_OK;
}

HRESULT CBaseFilter::JoinFilterGraph(IFilterGraph* graph, const char* name) {
    std::lock_guard lock(m_sharedMutex);
    m_graph = graph;
    m_eventSink = nullptr;
    if (graph) {
        // The graph answers IMediaEventSink; the filter keeps no reference (the graph holds
        // the filter).
        IMediaEventSink* sink = nullptr;
        if (graph->QueryInterface(IMediaEventSink::kIid, reinterpret_cast<void**>(&sink)) == S_OK) {
            m_eventSink = sink;
            sink->Release();
        }
    }
    if (name)
        m_name = name;
    return S_OK;
}

HRESULT CBaseFilter::QueryVendorInfo(char** info) {
    if (!info)
        return E_POINTER;
    *info = nullptr;
    return com::E_NOTIMPL;
}

HRESULT CBaseFilter::NotifyEvent(long code, std::intptr_t param1, std::intptr_t param2) {
    IMediaEventSink* sink = nullptr;
    {
        std::lock_guard lock(m_sharedMutex);
        sink = m_eventSink;
    }
    if (!sink)
        return S_FALSE;
    return sink->Notify(code, param1, param2);
}

FILTER_STATE CBaseFilter::State() const {
    return m_state.load();
}

com::ComPtr<IReferenceClock> CBaseFilter::Clock() const {
    std::lock_guard lock(m_sharedMutex);
    return m_clock;
}

REFERENCE_TIME CBaseFilter::StartTime() const {
    std::lock_guard lock(m_sharedMutex);
    return m_start;
}

HRESULT CBaseFilter::StreamTime(REFERENCE_TIME* time) const {
    if (!time)
        return E_POINTER;
    com::ComPtr<IReferenceClock> clock;
    REFERENCE_TIME start = 0;
    {
        std::lock_guard lock(m_sharedMutex);
        clock = m_clock;
        start = m_start;
    }
    if (!clock)
        return VFW_E_NO_CLOCK;
    REFERENCE_TIME now = 0;
    const HRESULT result = clock->GetTime(&now);
    if (com::Failed(result))
        return result;
    *time = now - start;
    return S_OK;
}

std::string CBaseFilter::Name() const {
    std::lock_guard lock(m_sharedMutex);
    return m_name;
}

} // namespace fz::media
