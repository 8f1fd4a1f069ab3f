#pragma once

#include "platform/com/IUnknown.h"
#include "platform/media/base/MediaResults.h"
#include "platform/media/base/MediaTypes.h"
#include "platform/sync/Event.h"

#include <cstdint>

// The interfaces between the filters of a media graph, in the platform's method order.
// Strings are UTF-8. Arguments that are returned through pointers carry a new reference
// (interfaces) or a copy the caller frees (media types: DeleteMediaType).
namespace fz::media {

using com::CLSID;
using com::IID;
using com::IUnknown;
using com::MakeGuid;

struct IBaseFilter;
struct IFilterGraph;
struct IMemAllocator;
struct IPin;

enum FILTER_STATE : long { State_Stopped = 0, State_Paused = 1, State_Running = 2 };
enum PIN_DIRECTION : int { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };

inline constexpr int kMaxNameLength = 128; // MAX_PIN_NAME, MAX_FILTER_NAME

struct FILTER_INFO {
    char achName[kMaxNameLength] = {}; // name given by AddFilter
    IFilterGraph* pGraph = nullptr;    // with a reference the caller releases, or null
};

struct PIN_INFO {
    IBaseFilter* pFilter = nullptr; // with a reference the caller releases
    PIN_DIRECTION dir = PINDIR_INPUT;
    char achName[kMaxNameLength] = {};
};

struct ALLOCATOR_PROPERTIES {
    long cBuffers = 0;
    long cbBuffer = 0; // bytes per buffer
    long cbAlign = 0;  // 0 or 1: no alignment asked
    long cbPrefix = 0;
};

// A clock in 100-ns units that never runs backwards. Advise requests set a platform event
// when the clock reaches a time; any thread may use it.
struct IReferenceClock : IUnknown {
    static constexpr IID kIid = MakeGuid("{56A86897-0AD4-11CE-B03A-0020AF0BA770}");
    using BaseInterface = IUnknown;

    virtual HRESULT GetTime(REFERENCE_TIME* time) = 0;
    // Sets `event` once the clock reaches baseTime + streamTime; `cookie` names the request
    // for Unadvise. The event must outlive the request (Unadvise it before destroying it).
    virtual HRESULT AdviseTime(REFERENCE_TIME baseTime, REFERENCE_TIME streamTime,
                               sync::Event* event, std::uintptr_t* cookie) = 0;
    // Sets `event` at startTime and every `period` after it, until Unadvise.
    virtual HRESULT AdvisePeriodic(REFERENCE_TIME startTime, REFERENCE_TIME period,
                                   sync::Event* event, std::uintptr_t* cookie) = 0;
    // S_FALSE when the request was already done or unknown.
    virtual HRESULT Unadvise(std::uintptr_t cookie) = 0;

protected:
    ~IReferenceClock() = default;
};

// One buffer of media data with its properties. Flag queries answer S_OK (set) or S_FALSE
// (not set).
struct IMediaSample : IUnknown {
    static constexpr IID kIid = MakeGuid("{56A8689A-0AD4-11CE-B03A-0020AF0BA770}");
    using BaseInterface = IUnknown;

    // The buffer; valid while the caller holds its reference. A sample may produce its bytes
    // only when asked (a source can convert a picture lazily here).
    virtual HRESULT GetPointer(std::uint8_t** buffer) = 0;
    virtual long GetSize() = 0; // capacity in bytes
    // S_OK with both times; VFW_S_NO_STOP_TIME with only a start time (stop = start + 1);
    // VFW_E_SAMPLE_TIME_NOT_SET without times.
    virtual HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) = 0;
    // Null start clears both; null stop keeps only the start time.
    virtual HRESULT SetTime(const REFERENCE_TIME* start, const REFERENCE_TIME* stop) = 0;
    virtual HRESULT IsSyncPoint() = 0;
    virtual HRESULT SetSyncPoint(bool syncPoint) = 0;
    virtual HRESULT IsPreroll() = 0;
    virtual HRESULT SetPreroll(bool preroll) = 0;
    virtual long GetActualDataLength() = 0;
    // VFW_E_BUFFER_OVERFLOW when longer than GetSize.
    virtual HRESULT SetActualDataLength(long length) = 0;
    // S_OK with a copy (DeleteMediaType) when the sample carries a type change; S_FALSE and
    // null otherwise.
    virtual HRESULT GetMediaType(AM_MEDIA_TYPE** type) = 0;
    // Null clears it.
    virtual HRESULT SetMediaType(const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT IsDiscontinuity() = 0;
    virtual HRESULT SetDiscontinuity(bool discontinuity) = 0;
    // S_OK with both; VFW_E_MEDIA_TIME_NOT_SET without.
    virtual HRESULT GetMediaTime(std::int64_t* start, std::int64_t* stop) = 0;
    // Null start clears them.
    virtual HRESULT SetMediaTime(const std::int64_t* start, const std::int64_t* stop) = 0;

protected:
    ~IMediaSample() = default;
};

// A pool of samples shared by the two pins of a connection (see MemAllocator.h).
struct IMemAllocator : IUnknown {
    static constexpr IID kIid = MakeGuid("{56A8689C-0AD4-11CE-B03A-0020AF0BA770}");
    using BaseInterface = IUnknown;

    // `actual` receives what was granted (at least one buffer of the asked size).
    // VFW_E_ALREADY_COMMITTED while committed, VFW_E_BUFFERS_OUTSTANDING while samples are out.
    virtual HRESULT SetProperties(const ALLOCATOR_PROPERTIES* request,
                                  ALLOCATOR_PROPERTIES* actual) = 0;
    virtual HRESULT GetProperties(ALLOCATOR_PROPERTIES* properties) = 0;
    // Allocates the buffers (VFW_E_SIZENOTSET before SetProperties).
    virtual HRESULT Commit() = 0;
    // GetBuffer fails from now on and every waiting GetBuffer returns VFW_E_NOT_COMMITTED;
    // buffers are freed once all samples are back.
    virtual HRESULT Decommit() = 0;
    // A free sample with one reference for the caller; waits while all are in use (unless
    // flags has AM_GBF_NOWAIT: VFW_E_TIMEOUT). Times may be null. VFW_E_NOT_COMMITTED when
    // not committed. The sample comes with no times, flags or type, and the data length it
    // last had.
    virtual HRESULT GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                              std::uint32_t flags) = 0;
    // Called by a sample of this allocator on its last Release.
    virtual HRESULT ReleaseBuffer(IMediaSample* sample) = 0;

protected:
    ~IMemAllocator() = default;
};
inline constexpr std::uint32_t AM_GBF_NOWAIT = 4;

struct IEnumMediaTypes : IUnknown {
    static constexpr IID kIid = MakeGuid("{89C31040-846B-11CE-97D3-00AA0055595A}");
    using BaseInterface = IUnknown;

    // Up to `count` copies (DeleteMediaType each); S_FALSE when fewer were left. `fetched`
    // may be null when count is 1.
    virtual HRESULT Next(std::uint32_t count, AM_MEDIA_TYPE** types, std::uint32_t* fetched) = 0;
    virtual HRESULT Skip(std::uint32_t count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumMediaTypes** copy) = 0;

protected:
    ~IEnumMediaTypes() = default;
};

struct IEnumPins : IUnknown {
    static constexpr IID kIid = MakeGuid("{56A86892-0AD4-11CE-B03A-0020AF0BA770}");
    using BaseInterface = IUnknown;

    virtual HRESULT Next(std::uint32_t count, IPin** pins, std::uint32_t* fetched) = 0;
    virtual HRESULT Skip(std::uint32_t count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumPins** copy) = 0;

protected:
    ~IEnumPins() = default;
};

// One end of a connection. Connect is called on the output pin; it calls ReceiveConnection of
// the input pin. Streaming calls (EndOfStream, NewSegment) arrive on the upstream filter's
// streaming thread; BeginFlush / EndFlush on the thread that seeks.
struct IPin : IUnknown {
    static constexpr IID kIid = MakeGuid("{56A86891-0AD4-11CE-B03A-0020AF0BA770}");
    using BaseInterface = IUnknown;

    // `type` null or partly given (null GUIDs): the pins agree a type themselves.
    virtual HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) = 0;
    // Breaks this side only (S_FALSE when it was not connected); the graph's Disconnect is
    // called on each pin.
    virtual HRESULT Disconnect() = 0;
    // The connected pin with a reference; VFW_E_NOT_CONNECTED (and null) when none.
    virtual HRESULT ConnectedTo(IPin** pin) = 0;
    // A deep copy of the connection's type (free with FreeMediaType).
    virtual HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT QueryPinInfo(PIN_INFO* info) = 0;
    virtual HRESULT QueryDirection(PIN_DIRECTION* direction) = 0;
    // S_OK when the pin would accept the type, S_FALSE otherwise.
    virtual HRESULT QueryAccept(const AM_MEDIA_TYPE* type) = 0;
    virtual HRESULT EnumMediaTypes(IEnumMediaTypes** types) = 0;
    virtual HRESULT EndOfStream() = 0;
    virtual HRESULT BeginFlush() = 0;
    virtual HRESULT EndFlush() = 0;
    virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) = 0;

protected:
    ~IPin() = default;
};

// The input side of data delivery.
struct IMemInputPin : IUnknown {
    static constexpr IID kIid = MakeGuid("{56A8689D-0AD4-11CE-B03A-0020AF0BA770}");
    using BaseInterface = IUnknown;

    // The allocator the input pin offers (a new one at first use).
    virtual HRESULT GetAllocator(IMemAllocator** allocator) = 0;
    // The allocator the output pin will deliver in (it may be another one).
    virtual HRESULT NotifyAllocator(IMemAllocator* allocator, bool readOnly) = 0;
    virtual HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) = 0;
    // One sample, on the upstream streaming thread. S_OK: go on; S_FALSE: stop delivering
    // (flushing or stopping, no error); a failure: streaming has failed (the downstream
    // filter has reported it to the graph). The callee takes a reference if it keeps the
    // sample after returning.
    virtual HRESULT Receive(IMediaSample* sample) = 0;
    virtual HRESULT ReceiveMultiple(IMediaSample** samples, long count, long* processed) = 0;
    // S_OK when Receive may block (renderers), S_FALSE otherwise.
    virtual HRESULT ReceiveCanBlock() = 0;

protected:
    ~IMemInputPin() = default;
};

struct IPersist : IUnknown {
    static constexpr IID kIid = MakeGuid("{0000010C-0000-0000-C000-000000000046}");
    using BaseInterface = IUnknown;

    virtual HRESULT GetClassID(CLSID* clsid) = 0;

protected:
    ~IPersist() = default;
};

// The state changes of a filter, called by the graph on the application's thread, downstream
// filters first. Run's `start` is the reference time at which stream time 0 falls.
struct IMediaFilter : IPersist {
    static constexpr IID kIid = MakeGuid("{56A86899-0AD4-11CE-B03A-0020AF0BA770}");
    using BaseInterface = IPersist;

    virtual HRESULT Stop() = 0;
    virtual HRESULT Pause() = 0;
    virtual HRESULT Run(REFERENCE_TIME start) = 0;
    virtual HRESULT GetState(std::uint32_t timeoutMs, FILTER_STATE* state) = 0;
    // Null: no clock (the filter does not wait).
    virtual HRESULT SetSyncSource(IReferenceClock* clock) = 0;
    virtual HRESULT GetSyncSource(IReferenceClock** clock) = 0;

protected:
    ~IMediaFilter() = default;
};

struct IBaseFilter : IMediaFilter {
    static constexpr IID kIid = MakeGuid("{56A86895-0AD4-11CE-B03A-0020AF0BA770}");
    using BaseInterface = IMediaFilter;

    virtual HRESULT EnumPins(IEnumPins** pins) = 0;
    // The pin of that name (VFW_E_NOT_FOUND).
    virtual HRESULT FindPin(const char* id, IPin** pin) = 0;
    virtual HRESULT QueryFilterInfo(FILTER_INFO* info) = 0;
    // The graph tells the filter it was added (graph and name) or removed (nulls). The
    // filter keeps no reference to the graph.
    virtual HRESULT JoinFilterGraph(IFilterGraph* graph, const char* name) = 0;
    virtual HRESULT QueryVendorInfo(char** info) = 0;

protected:
    ~IBaseFilter() = default;
};

struct IEnumFilters : IUnknown {
    static constexpr IID kIid = MakeGuid("{56A86893-0AD4-11CE-B03A-0020AF0BA770}");
    using BaseInterface = IUnknown;

    virtual HRESULT Next(std::uint32_t count, IBaseFilter** filters, std::uint32_t* fetched) = 0;
    virtual HRESULT Skip(std::uint32_t count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumFilters** copy) = 0;

protected:
    ~IEnumFilters() = default;
};

// How filters report events to the graph (the graph answers it; filters find it by querying
// the graph given to JoinFilterGraph). Any thread.
struct IMediaEventSink : IUnknown {
    static constexpr IID kIid = MakeGuid("{56A868A2-0AD4-11CE-B03A-0020AF0BA770}");
    using BaseInterface = IUnknown;

    virtual HRESULT Notify(long code, std::intptr_t param1, std::intptr_t param2) = 0;

protected:
    ~IMediaEventSink() = default;
};

// What kind of filter it is; the graph counts renderers with it.
struct IAMFilterMiscFlags : IUnknown {
    static constexpr IID kIid = MakeGuid("{2DD74950-A890-11D1-ABE8-00A0C905F375}");
    using BaseInterface = IUnknown;

    virtual std::uint32_t GetMiscFlags() = 0;

protected:
    ~IAMFilterMiscFlags() = default;
};
inline constexpr std::uint32_t AM_FILTER_MISC_FLAGS_IS_RENDERER = 0x1;
inline constexpr std::uint32_t AM_FILTER_MISC_FLAGS_IS_SOURCE = 0x2;

// Our own: how far a renderer has received its stream, for the position of a graph without a
// clock, and whether it paces by a clock. Every renderer of the renderer base answers it.
struct IRenderedStream : IUnknown {
    static constexpr IID kIid = MakeGuid("{6E1C2A40-8F3B-4D57-9A21-3C5B7E0D4F18}");
    using BaseInterface = IUnknown;

    // The stop time (start when it has none) of the latest sample received since the last
    // new segment, or the segment's start when none arrived yet. S_FALSE once the end of the
    // stream has arrived (the position is then the last sample's). VFW_E_WRONG_STATE between
    // a flush and the next new segment (the position is not known then).
    virtual HRESULT GetReceivedPosition(REFERENCE_TIME* position) = 0;
    // S_OK when the renderer presents samples at their time on the graph's clock, S_FALSE
    // when it never waits for a clock (the graph needs no clock for it).
    virtual HRESULT UsesClock() = 0;

protected:
    ~IRenderedStream() = default;
};

} // namespace fz::media
