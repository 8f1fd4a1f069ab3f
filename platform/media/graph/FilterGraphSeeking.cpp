#include "platform/media/graph/FilterGraphObject.h"

#include <algorithm>
#include <limits>

namespace fz::media {

using com::ComPtr;
using com::E_POINTER;
using com::S_FALSE;
using com::S_OK;

std::vector<ComPtr<IMediaSeeking>> CFilterGraph::SeekingFilters() {
    std::vector<ComPtr<IMediaSeeking>> result;
    for (const Member& member : m_members) {
        ComPtr<IMediaSeeking> seeking;
        if (member.filter->QueryInterface(IMediaSeeking::kIid, seeking.PutVoid()) == S_OK)
            result.push_back(seeking);
    }
    return result;
}

HRESULT CFilterGraph::GetCapabilities(std::uint32_t* capabilities) {
    if (!capabilities)
        return E_POINTER;
    std::lock_guard lock(m_lock);
    const auto seekers = SeekingFilters();
    std::uint32_t common = seekers.empty() ? 0 : 0xFFFFFFFF;
    for (const ComPtr<IMediaSeeking>& seeking : seekers) {
        std::uint32_t own = 0;
        if (com::Failed(seeking->GetCapabilities(&own)))
            own = 0;
        common &= own;
    }
    *capabilities = common;
    return S_OK;
}

HRESULT CFilterGraph::CheckCapabilities(std::uint32_t* capabilities) {
    if (!capabilities)
        return E_POINTER;
    std::uint32_t present = 0;
    GetCapabilities(&present);
    const std::uint32_t asked = *capabilities;
    *capabilities = asked & present;
    if (*capabilities == asked)
        return S_OK;
    return *capabilities ? S_FALSE : com::E_FAIL;
}

HRESULT CFilterGraph::IsFormatSupported(const GUID* format) {
    if (!format)
        return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}

HRESULT CFilterGraph::QueryPreferredFormat(GUID* format) {
    if (!format)
        return E_POINTER;
    *format = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
}

HRESULT CFilterGraph::GetTimeFormat(GUID* format) {
    return QueryPreferredFormat(format);
}

HRESULT CFilterGraph::IsUsingTimeFormat(const GUID* format) {
    return IsFormatSupported(format);
}

HRESULT CFilterGraph::SetTimeFormat(const GUID* format) {
    if (!format)
        return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : com::E_INVALIDARG;
}

HRESULT CFilterGraph::DurationOf(std::int64_t* duration) {
    bool known = false;
    std::int64_t longest = 0;
    for (const ComPtr<IMediaSeeking>& seeking : SeekingFilters()) {
        std::int64_t own = 0;
        if (seeking->GetDuration(&own) == S_OK) {
            longest = known ? std::max(longest, own) : own;
            known = true;
        }
    }
    if (!known)
        return com::E_NOTIMPL;
    *duration = longest;
    return S_OK;
}

HRESULT CFilterGraph::GetDuration(std::int64_t* duration) {
    if (!duration)
        return E_POINTER;
    std::lock_guard lock(m_lock);
    return DurationOf(duration);
}

HRESULT CFilterGraph::GetStopPosition(std::int64_t* stop) {
    if (!stop)
        return E_POINTER;
    std::lock_guard lock(m_lock);
    for (const ComPtr<IMediaSeeking>& seeking : SeekingFilters())
        if (seeking->GetStopPosition(stop) == S_OK)
            return S_OK;
    return DurationOf(stop);
}

// The slowest connected renderer's received position; renderers at the end of their stream
// do not hold it back. `known` is false when no renderer reports one.
REFERENCE_TIME CFilterGraph::ReceivedPosition(bool* known) {
    *known = false;
    REFERENCE_TIME slowest = std::numeric_limits<REFERENCE_TIME>::max();
    REFERENCE_TIME furthest = 0;
    bool anyStreaming = false;
    for (const Member& member : m_members) {
        ComPtr<IRenderedStream> rendered;
        if (member.filter->QueryInterface(IRenderedStream::kIid, rendered.PutVoid()) != S_OK)
            continue;
        ComPtr<IPin> input;
        ComPtr<IPin> peer;
        if (member.filter->FindPin("Input", input.ReleaseAndGetAddressOf()) != S_OK ||
            input->ConnectedTo(peer.ReleaseAndGetAddressOf()) != S_OK)
            continue;
        REFERENCE_TIME position = 0;
        const HRESULT state = rendered->GetReceivedPosition(&position);
        if (com::Failed(state))
            continue;
        *known = true;
        furthest = std::max(furthest, position);
        if (state == S_OK) {
            anyStreaming = true;
            slowest = std::min(slowest, position);
        }
    }
    if (!*known)
        return 0;
    if (anyStreaming)
        return slowest;
    // Every renderer has reached its end: the stream is through.
    std::int64_t duration = 0;
    if (DurationOf(&duration) == S_OK)
        return std::max<REFERENCE_TIME>(duration, furthest);
    return furthest;
}

bool CFilterGraph::Completed() {
    std::lock_guard events(m_eventMutex);
    return m_completion == EC_COMPLETE;
}

HRESULT CFilterGraph::GetCurrentPosition(std::int64_t* current) {
    if (!current)
        return E_POINTER;
    std::lock_guard lock(m_lock);
    std::int64_t duration = 0;
    const bool durationKnown = DurationOf(&duration) == S_OK;
    REFERENCE_TIME position = StreamTimeNow();
    if (m_clock && durationKnown && (position > duration || Completed()))
        position = duration;
    *current = std::max<REFERENCE_TIME>(position, 0);
    return S_OK;
}

HRESULT CFilterGraph::ConvertTimeFormat(std::int64_t* target, const GUID* targetFormat,
                                        std::int64_t source, const GUID* sourceFormat) {
    if (!target)
        return E_POINTER;
    const auto isMediaTime = [](const GUID* format) {
        return !format || *format == TIME_FORMAT_MEDIA_TIME;
    };
    if (!isMediaTime(targetFormat) || !isMediaTime(sourceFormat))
        return com::E_INVALIDARG;
    *target = source;
    return S_OK;
}

HRESULT CFilterGraph::SetPositions(std::int64_t* current, std::uint32_t currentFlags,
                                   std::int64_t* stop, std::uint32_t stopFlags) {
    const std::uint32_t currentMode = currentFlags & AM_SEEKING_PositioningBitsMask;
    const std::uint32_t stopMode = stopFlags & AM_SEEKING_PositioningBitsMask;
    if ((currentMode != AM_SEEKING_NoPositioning && !current) ||
        (stopMode != AM_SEEKING_NoPositioning && !stop))
        return E_POINTER;
    if (currentMode == AM_SEEKING_IncrementalPositioning)
        return com::E_INVALIDARG;
    std::lock_guard lock(m_lock);
    const auto seekers = SeekingFilters();
    if (seekers.empty())
        return com::E_NOTIMPL;

    std::int64_t target = 0;
    std::uint32_t flags = currentFlags;
    if (currentMode == AM_SEEKING_RelativePositioning) {
        std::int64_t now = 0;
        GetCurrentPosition(&now);
        target = now + *current;
        flags = (currentFlags & ~AM_SEEKING_PositioningBitsMask) | AM_SEEKING_AbsolutePositioning;
    } else if (currentMode == AM_SEEKING_AbsolutePositioning) {
        target = *current;
    }
    if (target < 0)
        target = 0;

    // A running graph pauses while the sources flush and start their new segment, then runs on
    // from the new position.
    const bool wasRunning = m_state == State_Running;
    if (wasRunning) {
        m_position = StreamTimeNow();
        m_state = State_Paused;
        PauseFilters();
    }
    HRESULT result = S_OK;
    for (const ComPtr<IMediaSeeking>& seeking : seekers) {
        std::int64_t own = target;
        std::int64_t ownStop = stop ? *stop : 0;
        const HRESULT seeked = seeking->SetPositions(
            currentMode == AM_SEEKING_NoPositioning ? nullptr : &own, flags,
            stopMode == AM_SEEKING_NoPositioning ? nullptr : &ownStop, stopFlags);
        if (com::Failed(seeked) && com::Succeeded(result))
            result = seeked;
    }
    if (currentMode != AM_SEEKING_NoPositioning) {
        m_position = target;
        ResetCompletion(ConnectedRendererCount());
        if (current && (currentFlags & AM_SEEKING_ReturnTime))
            *current = target;
    }
    if (wasRunning) {
        m_state = State_Running;
        const HRESULT ran = RunFilters();
        if (com::Failed(ran) && com::Succeeded(result))
            result = ran;
    }
    return result;
}

HRESULT CFilterGraph::GetPositions(std::int64_t* current, std::int64_t* stop) {
    if (!current && !stop)
        return E_POINTER;
    std::lock_guard lock(m_lock);
    HRESULT result = S_OK;
    if (current)
        result = GetCurrentPosition(current);
    if (stop && com::Failed(GetStopPosition(stop)))
        *stop = 0;
    return result;
}

HRESULT CFilterGraph::GetAvailable(std::int64_t* earliest, std::int64_t* latest) {
    std::lock_guard lock(m_lock);
    if (earliest)
        *earliest = 0;
    if (latest && com::Failed(DurationOf(latest)))
        *latest = 0;
    return S_OK;
}

HRESULT CFilterGraph::SetRate(double rate) {
    return rate == 1.0 ? S_OK : com::E_NOTIMPL;
}

HRESULT CFilterGraph::GetRate(double* rate) {
    if (!rate)
        return E_POINTER;
    *rate = 1.0;
    return S_OK;
}

HRESULT CFilterGraph::GetPreroll(std::int64_t* preroll) {
    if (!preroll)
        return E_POINTER;
    *preroll = 0;
    return S_OK;
}

} // namespace fz::media
