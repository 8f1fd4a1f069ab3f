#include "platform/com/ComObject.h"
#include "platform/media/graph/FilterGraphObject.h"
#include "platform/media/graph/RendererClasses.h"
#include "platform/media/source/SourceFactory.h"

#include <new>

namespace fz::media {

using com::ComPtr;
using com::E_POINTER;
using com::S_FALSE;
using com::S_OK;

namespace {

inline constexpr HRESULT VFW_E_NOT_IN_GRAPH = detail::Code(0x8004025F);

ComPtr<IUnknown> IdentityOf(IUnknown* object) {
    ComPtr<IUnknown> identity;
    if (object)
        object->QueryInterface(com::IID_IUnknown, identity.PutVoid());
    return identity;
}

ComPtr<IBaseFilter> FilterOfPin(IPin* pin) {
    PIN_INFO info;
    if (!pin || pin->QueryPinInfo(&info) != S_OK)
        return nullptr;
    ComPtr<IBaseFilter> filter;
    filter.Attach(info.pFilter);
    return filter;
}

std::vector<ComPtr<IPin>> PinsOf(IBaseFilter* filter) {
    std::vector<ComPtr<IPin>> result;
    ComPtr<IEnumPins> pins;
    if (filter->EnumPins(pins.ReleaseAndGetAddressOf()) != S_OK || !pins)
        return result;
    IPin* pin = nullptr;
    std::uint32_t fetched = 0;
    while (pins->Next(1, &pin, &fetched) == S_OK && fetched == 1) {
        ComPtr<IPin> owned;
        owned.Attach(pin);
        result.push_back(owned);
    }
    return result;
}

PIN_DIRECTION DirectionOf(IPin* pin) {
    PIN_DIRECTION direction = PINDIR_INPUT;
    pin->QueryDirection(&direction);
    return direction;
}

bool IsConnected(IPin* pin) {
    ComPtr<IPin> peer;
    return pin->ConnectedTo(peer.ReleaseAndGetAddressOf()) == S_OK;
}

// The first type an output pin offers (its major type decides which renderer it needs).
GUID PreferredMajorType(IPin* output) {
    ComPtr<IEnumMediaTypes> types;
    if (output->EnumMediaTypes(types.ReleaseAndGetAddressOf()) != S_OK || !types)
        return com::GUID_NULL;
    AM_MEDIA_TYPE* type = nullptr;
    std::uint32_t fetched = 0;
    if (types->Next(1, &type, &fetched) != S_OK || !type)
        return com::GUID_NULL;
    const GUID major = type->majortype;
    DeleteMediaType(type);
    return major;
}

bool IsRenderer(IBaseFilter* filter) {
    ComPtr<IAMFilterMiscFlags> flags;
    if (filter->QueryInterface(IAMFilterMiscFlags::kIid, flags.PutVoid()) == S_OK)
        return (flags->GetMiscFlags() & AM_FILTER_MISC_FLAGS_IS_RENDERER) != 0;
    return false;
}

class CEnumFilters final : public com::ComObject<IEnumFilters> {
public:
    explicit CEnumFilters(std::vector<ComPtr<IBaseFilter>> filters)
        : m_filters(std::move(filters)) {}

    HRESULT Next(std::uint32_t count, IBaseFilter** filters, std::uint32_t* fetched) override {
        if (!filters || (count > 1 && !fetched))
            return E_POINTER;
        std::uint32_t given = 0;
        while (given < count && m_position < m_filters.size())
            m_filters[m_position++].CopyTo(&filters[given++]);
        if (fetched)
            *fetched = given;
        return given == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(std::uint32_t count) override {
        if (count > m_filters.size() - m_position) {
            m_position = m_filters.size();
            return S_FALSE;
        }
        m_position += count;
        return S_OK;
    }
    HRESULT Reset() override {
        m_position = 0;
        return S_OK;
    }
    HRESULT Clone(IEnumFilters** copy) override {
        if (!copy)
            return E_POINTER;
        auto* clone = new (std::nothrow) CEnumFilters(m_filters);
        if (!clone)
            return com::E_OUTOFMEMORY;
        clone->m_position = m_position;
        *copy = clone;
        return S_OK;
    }

private:
    std::vector<ComPtr<IBaseFilter>> m_filters;
    std::size_t m_position = 0;
};

} // namespace

std::vector<CFilterGraph::Member>::iterator CFilterGraph::FindMember(IUnknown* filter) {
    const ComPtr<IUnknown> identity = IdentityOf(filter);
    for (auto member = m_members.begin(); member != m_members.end(); ++member)
        if (identity && IdentityOf(member->filter.Get()) == identity)
            return member;
    return m_members.end();
}

bool CFilterGraph::Contains(IPin* pin) {
    const ComPtr<IBaseFilter> filter = FilterOfPin(pin);
    return filter && FindMember(filter.Get()) != m_members.end();
}

std::string CFilterGraph::UniqueName(const char* name, bool* renamed) const {
    const std::string base = name && *name ? name : "Filter";
    const auto used = [this](const std::string& candidate) {
        for (const Member& member : m_members)
            if (member.name == candidate)
                return true;
        return false;
    };
    *renamed = false;
    if (!used(base))
        return base;
    *renamed = true;
    for (int number = 1;; ++number) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, " %04d", number);
        if (!used(base + suffix))
            return base + suffix;
    }
}

HRESULT CFilterGraph::AddFilter(IBaseFilter* filter, const char* name) {
    if (!filter)
        return E_POINTER;
    std::lock_guard lock(m_lock);
    if (m_state != State_Stopped)
        return VFW_E_NOT_STOPPED;
    if (FindMember(filter) != m_members.end())
        return com::E_INVALIDARG;
    bool renamed = false;
    std::string unique = UniqueName(name, &renamed);
    const HRESULT joined = filter->JoinFilterGraph(this, unique.c_str());
    if (com::Failed(joined))
        return joined;
    m_members.push_back({ComPtr<IBaseFilter>(filter), std::move(unique)});
    if (m_clock)
        filter->SetSyncSource(m_clock.Get());
    return renamed ? VFW_S_DUPLICATE_NAME : S_OK;
}

HRESULT CFilterGraph::RemoveFilter(IBaseFilter* filter) {
    if (!filter)
        return E_POINTER;
    std::lock_guard lock(m_lock);
    const auto member = FindMember(filter);
    if (member == m_members.end())
        return VFW_E_NOT_FOUND;
    const ComPtr<IBaseFilter> removed = member->filter;
    removed->Stop();
    for (const ComPtr<IPin>& pin : PinsOf(removed.Get())) {
        ComPtr<IPin> peer;
        if (pin->ConnectedTo(peer.ReleaseAndGetAddressOf()) == S_OK) {
            const ComPtr<IBaseFilter> peerFilter = FilterOfPin(peer.Get());
            if (peerFilter && m_state != State_Stopped)
                peerFilter->Stop();
            peer->Disconnect();
        }
        pin->Disconnect();
    }
    m_members.erase(member);
    removed->SetSyncSource(nullptr);
    removed->JoinFilterGraph(nullptr, nullptr);
    return S_OK;
}

HRESULT CFilterGraph::EnumFilters(IEnumFilters** filters) {
    if (!filters)
        return E_POINTER;
    std::lock_guard lock(m_lock);
    std::vector<ComPtr<IBaseFilter>> snapshot;
    for (const Member& member : m_members)
        snapshot.push_back(member.filter);
    *filters = new (std::nothrow) CEnumFilters(std::move(snapshot));
    return *filters ? S_OK : com::E_OUTOFMEMORY;
}

HRESULT CFilterGraph::FindFilterByName(const char* name, IBaseFilter** filter) {
    if (!name || !filter)
        return E_POINTER;
    *filter = nullptr;
    std::lock_guard lock(m_lock);
    for (const Member& member : m_members)
        if (member.name == name)
            return member.filter.CopyTo(filter);
    return VFW_E_NOT_FOUND;
}

HRESULT CFilterGraph::ConnectDirect(IPin* output, IPin* input, const AM_MEDIA_TYPE* type) {
    if (!output || !input)
        return E_POINTER;
    std::lock_guard lock(m_lock);
    if (m_state != State_Stopped)
        return VFW_E_NOT_STOPPED;
    if (!Contains(output) || !Contains(input))
        return VFW_E_NOT_IN_GRAPH;
    if (DirectionOf(output) != PINDIR_OUTPUT || DirectionOf(input) != PINDIR_INPUT)
        return VFW_E_INVALID_DIRECTION;
    return output->Connect(input, type);
}

HRESULT CFilterGraph::Reconnect(IPin*) {
    return com::E_NOTIMPL;
}

HRESULT CFilterGraph::Disconnect(IPin* pin) {
    if (!pin)
        return E_POINTER;
    std::lock_guard lock(m_lock);
    return pin->Disconnect();
}

HRESULT CFilterGraph::SetDefaultSyncSource() {
    std::lock_guard lock(m_lock);
    if (m_state != State_Stopped)
        return VFW_E_NOT_STOPPED;
    ChooseClock();
    return S_OK;
}

HRESULT CFilterGraph::Connect(IPin* output, IPin* input) {
    return ConnectDirect(output, input, nullptr);
}

HRESULT CFilterGraph::ConnectToRenderer(IPin* output, IBaseFilter* renderer) {
    for (const ComPtr<IPin>& pin : PinsOf(renderer)) {
        if (DirectionOf(pin.Get()) != PINDIR_INPUT || IsConnected(pin.Get()))
            continue;
        if (output->Connect(pin.Get(), nullptr) == S_OK)
            return S_OK;
    }
    return VFW_E_CANNOT_CONNECT;
}

HRESULT CFilterGraph::Render(IPin* output) {
    if (!output)
        return E_POINTER;
    std::lock_guard lock(m_lock);
    if (m_state != State_Stopped)
        return VFW_E_NOT_STOPPED;
    if (!Contains(output))
        return VFW_E_NOT_IN_GRAPH;
    if (DirectionOf(output) != PINDIR_OUTPUT)
        return VFW_E_INVALID_DIRECTION;
    if (IsConnected(output))
        return VFW_E_ALREADY_CONNECTED;

    // A renderer already in the graph that takes the stream.
    std::vector<ComPtr<IBaseFilter>> renderers;
    for (const Member& member : m_members)
        if (IsRenderer(member.filter.Get()))
            renderers.push_back(member.filter);
    for (const ComPtr<IBaseFilter>& renderer : renderers)
        if (ConnectToRenderer(output, renderer.Get()) == S_OK)
            return S_OK;

    // Else a new one of the platform's, by the stream's major type.
    const GUID major = PreferredMajorType(output);
    ComPtr<IBaseFilter> created;
    const char* name = nullptr;
    if (major == MEDIATYPE_Video) {
        CreateVideoRenderer(nullptr, IBaseFilter::kIid, created.PutVoid());
        name = "Video Renderer";
    } else if (major == MEDIATYPE_Audio) {
        CreateSoundRenderer(nullptr, IBaseFilter::kIid, created.PutVoid());
        name = "Audio Renderer";
    }
    if (!created)
        return VFW_E_CANNOT_RENDER;
    if (com::Failed(AddFilter(created.Get(), name)))
        return VFW_E_CANNOT_RENDER;
    if (ConnectToRenderer(output, created.Get()) == S_OK)
        return S_OK;
    RemoveFilter(created.Get());
    return VFW_E_CANNOT_RENDER;
}

HRESULT CFilterGraph::RenderFile(const char* file, const char*) {
    if (!file)
        return E_POINTER;
    std::lock_guard lock(m_lock);
    if (m_state != State_Stopped)
        return VFW_E_NOT_STOPPED;
    ComPtr<IBaseFilter> source;
    HRESULT result = AddSourceFilter(file, nullptr, source.ReleaseAndGetAddressOf());
    if (com::Failed(result))
        return result;
    int rendered = 0;
    int refused = 0;
    for (const ComPtr<IPin>& pin : PinsOf(source.Get())) {
        if (DirectionOf(pin.Get()) != PINDIR_OUTPUT || IsConnected(pin.Get()))
            continue;
        if (Render(pin.Get()) == S_OK)
            ++rendered;
        else
            ++refused;
    }
    if (rendered == 0) {
        RemoveFilter(source.Get());
        return VFW_E_CANNOT_RENDER;
    }
    return refused ? VFW_S_PARTIAL_RENDER : S_OK;
}

HRESULT CFilterGraph::AddSourceFilter(const char* file, const char* filterName,
                                      IBaseFilter** filter) {
    if (!file || !filter)
        return E_POINTER;
    *filter = nullptr;
    std::lock_guard lock(m_lock);
    ComPtr<IBaseFilter> source;
    HRESULT result = CreateFileSourceFilter(file, source.ReleaseAndGetAddressOf());
    if (com::Failed(result))
        return result;
    if (!source)
        return VFW_E_CANNOT_LOAD_SOURCE_FILTER;
    // The source is named after the file, as the platform names it.
    const std::string path = file;
    const std::string name = filterName ? filterName : path.substr(path.find_last_of('/') + 1);
    result = AddFilter(source.Get(), name.c_str());
    if (com::Failed(result))
        return result;
    *filter = source.Detach();
    return S_OK;
}

HRESULT CFilterGraph::SetLogFile(std::intptr_t) {
    return S_OK;
}

HRESULT CFilterGraph::Abort() {
    return S_OK;
}

HRESULT CFilterGraph::ShouldOperationContinue() {
    return S_OK;
}

HRESULT CFilterGraph::RenderFile(const char* file) {
    return RenderFile(file, nullptr);
}

} // namespace fz::media
