#include "platform/media/base/ReferenceClock.h"

#include <algorithm>
#include <chrono>

namespace fz::media {

using com::E_POINTER;
using com::S_FALSE;
using com::S_OK;

namespace {

// The longest the advise thread sleeps before it looks at the clock again.
constexpr REFERENCE_TIME kLongestSleep = 10 * kUnitsPerMs;

} // namespace

CBaseReferenceClock::CBaseReferenceClock(IUnknown* outer)
    : AggregatableObject(outer) {}

CBaseReferenceClock::~CBaseReferenceClock() {
    StopAdviseThread();
}

HRESULT CBaseReferenceClock::NonDelegatingQueryInterface(const IID& iid, void** object) {
    if (iid == IReferenceClock::kIid)
        return com::GetInterface(static_cast<IReferenceClock*>(this), object);
    return AggregatableObject::NonDelegatingQueryInterface(iid, object);
}

HRESULT CBaseReferenceClock::GetTime(REFERENCE_TIME* time) {
    if (!time)
        return E_POINTER;
    REFERENCE_TIME now = GetPrivateTime();
    std::lock_guard lock(m_timeMutex);
    now = std::max(now, m_lastTime);
    m_lastTime = now;
    *time = now;
    return S_OK;
}

HRESULT CBaseReferenceClock::AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime,
                                        sync::Event* event, std::uintptr_t* cookie) {
    return AddAdvise(baseTime + streamTime, 0, event, cookie);
}

HRESULT CBaseReferenceClock::AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME period,
                                            sync::Event* event, std::uintptr_t* cookie) {
    if (period <= 0)
        return com::E_INVALIDARG;
    return AddAdvise(startTime, period, event, cookie);
}

HRESULT CBaseReferenceClock::AddAdvise(REFERENCE_TIME due, REFERENCE_TIME period,
                                       sync::Event* event, std::uintptr_t* cookie) {
    if (!cookie)
        return E_POINTER;
    *cookie = 0;
    if (!event)
        return com::E_INVALIDARG;
    std::lock_guard lock(m_mutex);
    if (m_stopping)
        return com::E_UNEXPECTED;
    *cookie = m_nextCookie++;
    m_advises.push_back({*cookie, due, period, event});
    if (!m_thread.joinable())
        m_thread = std::thread([this] { AdviseLoop(); });
    m_changed.notify_all();
    return S_OK;
}

HRESULT CBaseReferenceClock::Unadvise(std::uintptr_t cookie) {
    std::lock_guard lock(m_mutex);
    const auto found =
        std::find_if(m_advises.begin(), m_advises.end(),
                     [cookie](const Advise& advise) { return advise.cookie == cookie; });
    if (found == m_advises.end())
        return S_FALSE;
    m_advises.erase(found);
    return S_OK;
}

void CBaseReferenceClock::AdviseLoop() {
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        if (m_advises.empty()) {
            m_changed.wait(lock);
            continue;
        }
        REFERENCE_TIME now = 0;
        GetTime(&now);
        REFERENCE_TIME earliest = now + kLongestSleep;
        for (auto advise = m_advises.begin(); advise != m_advises.end();) {
            if (advise->due <= now) {
                advise->event->Set();
                if (advise->period == 0) {
                    advise = m_advises.erase(advise);
                    continue;
                }
                const REFERENCE_TIME periods = (now - advise->due) / advise->period + 1;
                advise->due += periods * advise->period;
            }
            earliest = std::min(earliest, advise->due);
            ++advise;
        }
        const REFERENCE_TIME sleep = std::max<REFERENCE_TIME>(earliest - now, 1);
        m_changed.wait_for(lock, std::chrono::microseconds(sleep / 10 + 1));
    }
}

void CBaseReferenceClock::StopAdviseThread() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_changed.notify_all();
    }
    if (m_thread.joinable())
        m_thread.join();
}

CSystemClock::CSystemClock(IUnknown* outer)
    : CBaseReferenceClock(outer) {}

CSystemClock::~CSystemClock() {
    StopAdviseThread();
}

REFERENCE_TIME CSystemClock::GetPrivateTime() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() / 100;
}

} // namespace fz::media
