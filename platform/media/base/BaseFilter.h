#pragma once

#include "platform/com/AggregatableObject.h"
#include "platform/com/ComPtr.h"
#include "platform/media/base/MediaInterfaces.h"

#include <atomic>
#include <mutex>
#include <string>

namespace fz::media {

class CBasePin;

// The base of every filter: identity (class identifier, name, graph), state (stopped, paused,
// running), the clock and the start time, the pins and event reporting.
//
// Aggregatable: NonDelegatingQueryInterface answers IBaseFilter, IMediaFilter and IPersist; a
// filter that adds interfaces (a control interface) derives from them too, declares
// FZ_COM_DELEGATING_IUNKNOWN and answers them in its own NonDelegatingQueryInterface, then
// calls this one. Its pins count their references on the filter's owning unknown.
//
// A filter must override GetPinCount and GetPin (pins are created by the filter, usually in
// its constructor, and live as long as it). It may override Stop, Pause and Run (calling
// these versions), which the graph calls on the application's thread; Pause from Stopped
// activates every pin (allocators are committed), Stop deactivates them.
//
// Locks: m_filterLock serialises state changes and pin connection (application's thread); a
// derived Stop may hold it while it waits for its streaming thread. The streaming thread
// never needs it: State, Clock, StartTime, StreamTime and NotifyEvent take only a small lock
// of their own.
class CBaseFilter : public com::AggregatableObject, public IBaseFilter {
public:
    FZ_COM_DELEGATING_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(const IID& iid, void** object) override;

    // IPersist
    HRESULT GetClassID(CLSID* clsid) override;
    // IMediaFilter
    HRESULT Stop() override;
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME start) override;
    HRESULT GetState(std::uint32_t timeoutMs, FILTER_STATE* state) override;
    HRESULT SetSyncSource(IReferenceClock* clock) override;
    HRESULT GetSyncSource(IReferenceClock** clock) override;
    // IBaseFilter
    HRESULT EnumPins(IEnumPins** pins) override;
    HRESULT FindPin(const char* id, IPin** pin) override;
    HRESULT QueryFilterInfo(FILTER_INFO* info) override;
    HRESULT JoinFilterGraph(IFilterGraph* graph, const char* name) override;
    HRESULT QueryVendorInfo(char** info) override;

    // The pins, in order (inputs first by convention). Required.
    virtual int GetPinCount() = 0;
    virtual CBasePin* GetPin(int index) = 0;

    // Sends an event to the graph's IMediaEventSink (S_FALSE when the filter is in no graph).
    // Any thread.
    HRESULT NotifyEvent(long code, std::intptr_t param1, std::intptr_t param2);

    FILTER_STATE State() const;
    bool IsStopped() const { return State() == State_Stopped; }
    bool IsActive() const { return State() != State_Stopped; }
    // The clock given by the graph, with a reference; null in a graph without a clock.
    com::ComPtr<IReferenceClock> Clock() const;
    // The reference time at which stream time 0 falls (set by Run).
    REFERENCE_TIME StartTime() const;
    // The clock's time minus the start time; VFW_E_NO_CLOCK without a clock.
    HRESULT StreamTime(REFERENCE_TIME* time) const;
    // The name the graph gave (empty outside a graph).
    std::string Name() const;
    // The lock the pins take for connection and state (m_filterLock).
    std::recursive_mutex& FilterLock() const { return m_filterLock; }

protected:
    // `name` is the filter's default name; `outer` the aggregating object or null.
    CBaseFilter(const char* name, IUnknown* outer, const CLSID& clsid);
    ~CBaseFilter() override;

    mutable std::recursive_mutex m_filterLock;
    std::atomic<FILTER_STATE> m_state{State_Stopped};

private:
    mutable std::mutex m_sharedMutex; // the fields below
    REFERENCE_TIME m_start = 0;
    com::ComPtr<IReferenceClock> m_clock;
    CLSID m_clsid;
    std::string m_name;
    IFilterGraph* m_graph = nullptr;        // no reference: the graph holds the filter
    IMediaEventSink* m_eventSink = nullptr; // the graph's, no reference
};

} // namespace fz::media
