#pragma once

#include "platform/com/ComPtr.h"
#include "platform/com/ContainedObject.h"
#include "platform/media/base/MediaInterfaces.h"

#include <atomic>
#include <mutex>
#include <string>

namespace fz::media {

class CBaseFilter;

// A pin of a CBaseFilter: a contained object (its references count on the filter). The
// filter owns the pin (creates it, deletes it in its destructor).
//
// Connection (the graph's Connect, on the application's thread, filter stopped): the output
// pin's Connect tries each of its own types (GetMediaType 0, 1, ...) and then each type the
// input pin offers, until one passes the output's CheckMediaType and the input's
// ReceiveConnection (its CheckMediaType); then CompleteConnect (the output pin decides the
// allocator). A failure after the peer accepted disconnects both sides again.
//
// A connected pin holds a reference on its peer until Disconnect.
//
// Must override: CheckMediaType. May override: GetMediaType (types offered, default none),
// SetMediaType (records the connection's type; call this version), CheckConnect,
// CompleteConnect, BreakConnect, Active / Inactive (calling these versions), and the
// streaming calls.
class CBasePin : public com::ContainedObject<IPin> {
public:
    CBasePin(CBaseFilter* filter, const char* name, PIN_DIRECTION direction);
    ~CBasePin() override;

    // IPin
    HRESULT Connect(IPin* receivePin, const AM_MEDIA_TYPE* type) override;
    HRESULT ReceiveConnection(IPin* connector, const AM_MEDIA_TYPE* type) override;
    HRESULT Disconnect() override;
    HRESULT ConnectedTo(IPin** pin) override;
    HRESULT ConnectionMediaType(AM_MEDIA_TYPE* type) override;
    HRESULT QueryPinInfo(PIN_INFO* info) override;
    HRESULT QueryDirection(PIN_DIRECTION* direction) override;
    HRESULT QueryAccept(const AM_MEDIA_TYPE* type) override;
    HRESULT EnumMediaTypes(IEnumMediaTypes** types) override;
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

    // S_OK when the pin takes the type; any failure refuses it. Required.
    virtual HRESULT CheckMediaType(const CMediaType* type) = 0;
    // The type at `position` (0 first): S_OK, or VFW_S_NO_MORE_ITEMS past the last.
    virtual HRESULT GetMediaType(int position, CMediaType* type);
    virtual HRESULT SetMediaType(const CMediaType* type);
    // The peer may be connected (directions differ); default checks the direction.
    virtual HRESULT CheckConnect(IPin* pin);
    virtual HRESULT CompleteConnect(IPin* receivePin);
    virtual HRESULT BreakConnect();
    // Called by the filter on Pause from Stopped / on Stop.
    virtual HRESULT Active();
    virtual HRESULT Inactive();

    bool IsConnected() const { return static_cast<bool>(m_connected); }
    IPin* GetConnected() const { return m_connected.Get(); }
    const CMediaType& CurrentMediaType() const { return m_type; }
    bool IsFlushing() const { return m_flushing.load(std::memory_order_acquire); }
    PIN_DIRECTION Direction() const { return m_direction; }
    const std::string& Name() const { return m_name; }
    CBaseFilter* Filter() const { return m_filter; }
    // The segment of the latest NewSegment (0, max, 1.0 before any).
    REFERENCE_TIME SegmentStart() const { return m_segmentStart; }
    REFERENCE_TIME SegmentStop() const { return m_segmentStop; }
    double SegmentRate() const { return m_segmentRate; }

protected:
    HRESULT AttemptConnection(IPin* receivePin, const CMediaType& type);
    HRESULT TryTypesOf(IPin* receivePin, IPin* offeringPin, const AM_MEDIA_TYPE* partial);
    void ClearConnection();

    CBaseFilter* m_filter;
    std::string m_name;
    PIN_DIRECTION m_direction;
    com::ComPtr<IPin> m_connected;
    CMediaType m_type;
    std::atomic<bool> m_flushing{false};
    REFERENCE_TIME m_segmentStart = 0;
    REFERENCE_TIME m_segmentStop = 0x7FFFFFFFFFFFFFFF;
    double m_segmentRate = 1.0;
};

// An input pin: IPin + IMemInputPin. It offers an allocator of its own (CMemAllocator)
// to the output pin and decommits the connection's allocator when it becomes inactive,
// releasing every upstream thread that waits for a buffer.
//
// Receive arrives on the upstream streaming thread; this version only checks that the pin
// may stream (CheckStreaming) and takes a type change the sample carries (SetMediaType after
// CheckMediaType). A derived pin overrides Receive, calls this version first and goes on
// only on S_OK. BeginFlush / EndFlush arrive on the thread that seeks: this version sets and
// clears the flushing flag (Receive then answers S_FALSE); a derived pin passes them on.
class CBaseInputPin : public CBasePin, public IMemInputPin {
public:
    CBaseInputPin(CBaseFilter* filter, const char* name);
    ~CBaseInputPin() override;

    HRESULT QueryInterface(const IID& iid, void** object) override {
        return CBasePin::QueryInterface(iid, object);
    }
    std::uint32_t AddRef() override { return CBasePin::AddRef(); }
    std::uint32_t Release() override { return CBasePin::Release(); }

    // IPin
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;
    // IMemInputPin
    HRESULT GetAllocator(IMemAllocator** allocator) override;
    HRESULT NotifyAllocator(IMemAllocator* allocator, bool readOnly) override;
    HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* properties) override;
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT ReceiveMultiple(IMediaSample** samples, long count, long* processed) override;
    HRESULT ReceiveCanBlock() override;

    HRESULT CheckConnect(IPin* pin) override;
    HRESULT BreakConnect() override;
    HRESULT Inactive() override;

    // S_OK when a sample may be received now: VFW_E_NOT_CONNECTED, S_FALSE while flushing,
    // VFW_E_WRONG_STATE while the filter is stopped.
    HRESULT CheckStreaming();
    IMemAllocator* Allocator() const { return m_allocator.Get(); }

protected:
    void* FindInterface(const IID& iid) noexcept override;

    com::ComPtr<IMemAllocator> m_allocator; // the connection's allocator
    bool m_readOnly = false;
};

// An output pin: delivers samples from the connection's allocator to the input pin.
//
// CompleteConnect decides the allocator: the input pin's own (GetAllocator), else one of the
// pin's own (InitAllocator); DecideBufferSize sets its properties on it; NotifyAllocator
// tells the input pin. Active commits it, Inactive decommits it.
//
// Must override CheckMediaType and DecideBufferSize; may override GetMediaType,
// DecideAllocator, InitAllocator. The streaming thread calls GetDeliveryBuffer and the
// Deliver... functions.
class CBaseOutputPin : public CBasePin {
public:
    CBaseOutputPin(CBaseFilter* filter, const char* name);
    ~CBaseOutputPin() override;

    // IPin: an output pin receives no stream calls (E_UNEXPECTED).
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;

    // Sets the buffer count and size on `allocator` (SetProperties) and checks what was
    // granted. Required.
    virtual HRESULT DecideBufferSize(IMemAllocator* allocator,
                                     ALLOCATOR_PROPERTIES* properties) = 0;
    virtual HRESULT DecideAllocator(IMemInputPin* input, IMemAllocator** allocator);
    virtual HRESULT InitAllocator(IMemAllocator** allocator);

    HRESULT CheckConnect(IPin* pin) override;
    HRESULT CompleteConnect(IPin* receivePin) override;
    HRESULT BreakConnect() override;
    HRESULT Active() override;
    HRESULT Inactive() override;

    // A free sample of the connection's allocator (waits while none is free; see
    // CMemAllocator::GetBuffer). VFW_E_NOT_CONNECTED when unconnected.
    HRESULT GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                              std::uint32_t flags);
    // The input pin's Receive result (VFW_E_NOT_CONNECTED when unconnected).
    HRESULT Deliver(IMediaSample* sample);
    HRESULT DeliverEndOfStream();
    HRESULT DeliverBeginFlush();
    HRESULT DeliverEndFlush();
    HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

    IMemAllocator* Allocator() const { return m_allocator.Get(); }

protected:
    com::ComPtr<IMemAllocator> m_allocator;
    com::ComPtr<IMemInputPin> m_input;
};

} // namespace fz::media
