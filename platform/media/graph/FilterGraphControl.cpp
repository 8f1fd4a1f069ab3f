#include "platform/media/base/ReferenceClock.h"
#include "platform/media/graph/FilterGraphObject.h"

#include <algorithm>
#include <map>
#include <new>

namespace fz::media {

using com::ComPtr;
using com::E_POINTER;
using com::S_OK;

namespace {

std::vector<ComPtr<IPin>> ConnectedPins(IBaseFilter* filter, PIN_DIRECTION wanted) {
    std::vector<ComPtr<IPin>> result;
    ComPtr<IEnumPins> pins;
    if (filter->EnumPins(pins.ReleaseAndGetAddressOf()) != S_OK || !pins)
        return result;
    IPin* pin = nullptr;
    std::uint32_t fetched = 0;
    while (pins->Next(1, &pin, &fetched) == S_OK && fetched == 1) {
        ComPtr<IPin> owned;
        owned.Attach(pin);
        PIN_DIRECTION direction = PINDIR_INPUT;
        ComPtr<IPin> peer;
        if (owned->QueryDirection(&direction) == S_OK && direction == wanted &&
            owned->ConnectedTo(peer.ReleaseAndGetAddressOf()) == S_OK)
            result.push_back(peer);
    }
    return result;
}

IUnknown* IdentityOf(IUnknown* object, ComPtr<IUnknown>* keep) {
    object->QueryInterface(com::IID_IUnknown, keep->PutVoid());
    return keep->Get();
}

} // namespace

// Filters ordered by their distance from the end of the streams: renderers (nothing
// connected downstream) first, sources last.
std::vector<ComPtr<IBaseFilter>> CFilterGraph::DownstreamFirst() {
    std::vector<ComPtr<IUnknown>> identities(m_members.size());
    std::map<IUnknown*, std::size_t> indexOf;
    for (std::size_t i = 0; i < m_members.size(); ++i)
        indexOf[IdentityOf(m_members[i].filter.Get(), &identities[i])] = i;

    // downstream[i]: the members that filter i delivers to.
    std::vector<std::vector<std::size_t>> downstream(m_members.size());
    for (std::size_t i = 0; i < m_members.size(); ++i) {
        for (const ComPtr<IPin>& peer : ConnectedPins(m_members[i].filter.Get(), PINDIR_OUTPUT)) {
            PIN_INFO info;
            if (peer->QueryPinInfo(&info) != S_OK)
                continue;
            ComPtr<IBaseFilter> peerFilter;
            peerFilter.Attach(info.pFilter);
            ComPtr<IUnknown> peerIdentity;
            const auto found = indexOf.find(IdentityOf(peerFilter.Get(), &peerIdentity));
            if (found != indexOf.end())
                downstream[i].push_back(found->second);
        }
    }
    // depth = 0 for filters with nothing downstream, else 1 + the deepest downstream filter;
    // repeated relaxation, bounded by the member count (a cycle cannot loop for ever).
    std::vector<std::size_t> depth(m_members.size(), 0);
    for (std::size_t round = 0; round < m_members.size(); ++round) {
        bool changed = false;
        for (std::size_t i = 0; i < m_members.size(); ++i)
            for (std::size_t next : downstream[i])
                if (depth[i] < depth[next] + 1 && depth[next] + 1 <= m_members.size()) {
                    depth[i] = depth[next] + 1;
                    changed = true;
                }
        if (!changed)
            break;
    }
    std::vector<std::size_t> order(m_members.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&depth](std::size_t a, std::size_t b) { return depth[a] < depth[b]; });
    std::vector<ComPtr<IBaseFilter>> result;
    for (std::size_t i : order)
        result.push_back(m_members[i].filter);
    return result;
}

int CFilterGraph::ConnectedRendererCount() {
    int count = 0;
    for (const Member& member : m_members) {
        ComPtr<IAMFilterMiscFlags> flags;
        if (member.filter->QueryInterface(IAMFilterMiscFlags::kIid, flags.PutVoid()) != S_OK ||
            !(flags->GetMiscFlags() & AM_FILTER_MISC_FLAGS_IS_RENDERER))
            continue;
        if (!ConnectedPins(member.filter.Get(), PINDIR_INPUT).empty())
            ++count;
    }
    return count;
}

void CFilterGraph::ChooseClock() {
    ComPtr<IReferenceClock> chosen;
    bool needsClock = false;
    for (const Member& member : m_members) {
        const bool connected = !ConnectedPins(member.filter.Get(), PINDIR_INPUT).empty();
        if (!connected)
            continue;
        ComPtr<IReferenceClock> own;
        if (!chosen && member.filter->QueryInterface(IReferenceClock::kIid, own.PutVoid()) == S_OK)
            chosen = own;
        ComPtr<IRenderedStream> rendered;
        if (member.filter->QueryInterface(IRenderedStream::kIid, rendered.PutVoid()) == S_OK &&
            rendered->UsesClock() == S_OK)
            needsClock = true;
    }
    if (!chosen && needsClock) {
        auto* system = new (std::nothrow) CSystemClock;
        if (system) {
            system->NonDelegatingQueryInterface(IReferenceClock::kIid, chosen.PutVoid());
            system->NonDelegatingRelease();
        }
    }
    m_clock = chosen;
    for (const Member& member : m_members)
        member.filter->SetSyncSource(m_clock.Get());
}

REFERENCE_TIME CFilterGraph::StreamTimeNow() {
    if (m_state == State_Stopped)
        return m_position;
    if (!m_clock) {
        // Without a clock the stream is as far as its renderers have received it.
        bool known = false;
        const REFERENCE_TIME received = ReceivedPosition(&known);
        return known ? received : m_position;
    }
    if (m_state != State_Running)
        return m_position;
    REFERENCE_TIME now = 0;
    m_clock->GetTime(&now);
    return now - m_startTime;
}

HRESULT CFilterGraph::PauseFilters() {
    for (const ComPtr<IBaseFilter>& filter : DownstreamFirst()) {
        const HRESULT result = filter->Pause();
        if (com::Failed(result))
            return result;
    }
    return S_OK;
}

HRESULT CFilterGraph::RunFilters() {
    m_startTime = 0;
    if (m_clock) {
        REFERENCE_TIME now = 0;
        m_clock->GetTime(&now);
        m_startTime = now - m_position;
    }
    for (const ComPtr<IBaseFilter>& filter : DownstreamFirst()) {
        const HRESULT result = filter->Run(m_startTime);
        if (com::Failed(result))
            return result;
    }
    return S_OK;
}

void CFilterGraph::StopFilters() {
    for (const ComPtr<IBaseFilter>& filter : DownstreamFirst())
        filter->Stop();
}

HRESULT CFilterGraph::Pause() {
    std::lock_guard lock(m_lock);
    if (m_state == State_Paused)
        return S_OK;
    if (m_state == State_Stopped) {
        ChooseClock();
        // Stream time starts at the sources' position (0, or where a seek put them).
        std::int64_t current = 0;
        for (const ComPtr<IMediaSeeking>& seeking : SeekingFilters())
            if (seeking->GetCurrentPosition(&current) == S_OK)
                break;
        m_position = current;
        ResetCompletion(ConnectedRendererCount());
    } else {
        m_position = StreamTimeNow();
    }
    m_state = State_Paused;
    const HRESULT result = PauseFilters();
    if (com::Failed(result)) {
        StopFilters();
        m_state = State_Stopped;
        return result;
    }
    return S_OK;
}

HRESULT CFilterGraph::Run() {
    std::lock_guard lock(m_lock);
    if (m_state == State_Running)
        return S_OK;
    if (m_state == State_Stopped) {
        const HRESULT paused = Pause();
        if (com::Failed(paused))
            return paused;
    }
    m_state = State_Running;
    const HRESULT result = RunFilters();
    if (com::Failed(result)) {
        StopFilters();
        m_state = State_Stopped;
        return result;
    }
    return S_OK;
}

HRESULT CFilterGraph::Stop() {
    std::lock_guard lock(m_lock);
    if (m_state == State_Stopped)
        return S_OK;
    m_position = StreamTimeNow();
    m_state = State_Stopped;
    StopFilters();
    return S_OK;
}

HRESULT CFilterGraph::GetState(long, OAFilterState* state) {
    if (!state)
        return E_POINTER;
    std::lock_guard lock(m_lock);
    *state = m_state;
    return S_OK;
}

HRESULT CFilterGraph::StopWhenReady() {
    std::lock_guard lock(m_lock);
    const HRESULT paused = Pause();
    if (com::Failed(paused))
        return paused;
    return Stop();
}

} // namespace fz::media
