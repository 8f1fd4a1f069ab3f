#pragma once

#include "platform/com/AggregatableObject.h"
#include "platform/media/base/MediaInterfaces.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace fz::media {

// A reference clock over a time source of the derived class (GetPrivateTime): GetTime never
// runs backwards, and advise requests are served by a thread of the clock's own that checks
// the time at least every few milliseconds, so a source that runs at another pace than the
// system's clock (a sound device) still sets each event on time.
//
// Aggregatable: a renderer that gives the graph its clock creates one with its own owning
// unknown as the outer object and answers IReferenceClock with it. A derived class must call
// StopAdviseThread() in its destructor (the thread calls GetPrivateTime).
class CBaseReferenceClock : public com::AggregatableObject, public IReferenceClock {
public:
    FZ_COM_DELEGATING_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(const IID& iid, void** object) override;

    HRESULT GetTime(REFERENCE_TIME* time) override;
    HRESULT AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime, sync::Event* event,
                       std::uintptr_t* cookie) override;
    HRESULT AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME period, sync::Event* event,
                           std::uintptr_t* cookie) override;
    HRESULT Unadvise(std::uintptr_t cookie) override;

protected:
    explicit CBaseReferenceClock(IUnknown* outer);
    ~CBaseReferenceClock() override;

    // The source's time in 100-ns units. Any thread; must not take locks the clock's users
    // hold while they wait.
    virtual REFERENCE_TIME GetPrivateTime() = 0;
    void StopAdviseThread();

private:
    struct Advise {
        std::uintptr_t cookie;
        REFERENCE_TIME due;
        REFERENCE_TIME period; // 0: once
        sync::Event* event;
    };
    void AdviseLoop();
    HRESULT AddAdvise(REFERENCE_TIME due, REFERENCE_TIME period, sync::Event* event,
                      std::uintptr_t* cookie);

    std::mutex m_timeMutex;
    REFERENCE_TIME m_lastTime = 0;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Advise> m_advises;
    std::uintptr_t m_nextCookie = 1;
    bool m_stopping = false;
    std::thread m_thread;
};

// The system's clock: CLOCK_MONOTONIC in 100-ns units. The graph uses it when no filter gives
// a clock of its own and a renderer paces by a clock.
class CSystemClock final : public CBaseReferenceClock {
public:
    explicit CSystemClock(IUnknown* outer = nullptr);

protected:
    ~CSystemClock() override;
    REFERENCE_TIME GetPrivateTime() override;
};

} // namespace fz::media
