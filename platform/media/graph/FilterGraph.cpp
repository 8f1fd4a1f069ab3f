#include "platform/media/graph/FilterGraph.h"

#include "platform/com/ClassFactory.h"
#include "platform/media/graph/FilterGraphObject.h"

namespace fz::media {

com::HRESULT CreateFilterGraph(com::IUnknown* outer, const com::IID& iid, void** object) {
    return com::CreateInstanceOf<CFilterGraph>(outer, iid, object);
}

CFilterGraph::CFilterGraph() = default;

CFilterGraph::~CFilterGraph() {
    std::lock_guard lock(m_lock);
    StopFilters();
    // Connected pins hold references on each other's filters: break every connection, then let
    // each filter go.
    for (Member& member : m_members) {
        com::ComPtr<IEnumPins> pins;
        if (member.filter->EnumPins(pins.ReleaseAndGetAddressOf()) != com::S_OK)
            continue;
        IPin* pin = nullptr;
        std::uint32_t fetched = 0;
        while (pins->Next(1, &pin, &fetched) == com::S_OK && fetched == 1) {
            pin->Disconnect();
            pin->Release();
        }
    }
    for (Member& member : m_members) {
        member.filter->SetSyncSource(nullptr);
        member.filter->JoinFilterGraph(nullptr, nullptr);
    }
    m_members.clear();
}

} // namespace fz::media
