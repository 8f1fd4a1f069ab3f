#pragma once

#include "platform/media/base/BaseFilter.h"
#include "platform/media/base/BasePin.h"

#include <memory>
#include <mutex>

namespace fz::media {

class CTransformFilter;

// The input pin "Input" of a transform filter: types go to CheckInputType, samples to the
// filter's Receive (under its receive lock), stream calls to the filter.
class CTransformInputPin : public CBaseInputPin {
public:
    CTransformInputPin(CTransformFilter* filter, const char* name);

    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT SetMediaType(const CMediaType* type) override;
    HRESULT CheckConnect(IPin* pin) override;
    HRESULT BreakConnect() override;
    HRESULT CompleteConnect(IPin* receivePin) override;
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

private:
    CTransformFilter* m_transform;
};

// The output pin "Output": offers GetMediaType's types once the input is connected, checks
// them with CheckTransform, and sizes the buffers with DecideBufferSize.
class CTransformOutputPin : public CBaseOutputPin {
public:
    CTransformOutputPin(CTransformFilter* filter, const char* name);

    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT GetMediaType(int position, CMediaType* type) override;
    HRESULT SetMediaType(const CMediaType* type) override;
    HRESULT CheckConnect(IPin* pin) override;
    HRESULT BreakConnect() override;
    HRESULT CompleteConnect(IPin* receivePin) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) override;

private:
    CTransformFilter* m_transform;
};

// A filter with one input and one output that turns each input sample into one output
// sample of the output connection's allocator.
//
// Required (the filter's own work):
//   CheckInputType(in)            S_OK when the input type is taken (connection time).
//   CheckTransform(in, out)       S_OK when `out` can be made from `in` (the output pin's
//                                 check; called only while the input is connected).
//   DecideBufferSize(alloc, req)  sets count and size on the output allocator (SetProperties)
//                                 and fails when fewer or smaller buffers are granted. `req`
//                                 arrives with the input pin's requirements or zero.
//   GetMediaType(position, out)   the output types offered: S_OK, VFW_S_NO_MORE_ITEMS past the
//                                 last, or a failure.
//   Transform(in, out)            fills `out` from `in`: S_OK delivers `out` downstream;
//                                 S_FALSE drops it (nothing is delivered, streaming goes on);
//                                 a failure drops it, is sent to the graph as EC_ERRORABORT
//                                 (param1 = the code) and returned to the upstream filter,
//                                 which ends its streaming.
// Optional: SetMediaType (told each agreed type), CheckConnect / BreakConnect /
// CompleteConnect per direction, StartStreaming (Pause from Stopped) / StopStreaming (Stop),
// and the stream calls below (call these versions to keep passing them downstream).
//
// Buffers: `in` belongs to the upstream filter and `out` to the output allocator; both are
// valid only during Transform (take a reference to keep one). Before Transform, `out` starts
// with the input's times, media times, sync point, preroll and discontinuity flags
// (InitializeOutputSample); its bytes and data length are what that buffer last held.
//
// Threads: Transform, Receive, EndOfStream and NewSegment run on the upstream streaming
// thread with the receive lock (m_receiveLock) held; BeginFlush / EndFlush on the seeking
// thread; the connection and state calls on the application's thread. Stop waits for a
// Receive in progress to finish (after decommitting the allocators, which releases a
// Receive waiting for a buffer).
class CTransformFilter : public CBaseFilter {
public:
    int GetPinCount() override { return 2; }
    CBasePin* GetPin(int index) override;

    HRESULT Stop() override;
    HRESULT Pause() override;

    virtual HRESULT CheckInputType(const CMediaType* in) = 0;
    virtual HRESULT CheckTransform(const CMediaType* in, const CMediaType* out) = 0;
    virtual HRESULT DecideBufferSize(IMemAllocator* allocator,
                                     ALLOCATOR_PROPERTIES* properties) = 0;
    virtual HRESULT GetMediaType(int position, CMediaType* type) = 0;
    virtual HRESULT Transform(IMediaSample* in, IMediaSample* out) = 0;

    virtual HRESULT SetMediaType(PIN_DIRECTION direction, const CMediaType* type);
    virtual HRESULT CheckConnect(PIN_DIRECTION direction, IPin* pin);
    virtual HRESULT BreakConnect(PIN_DIRECTION direction);
    virtual HRESULT CompleteConnect(PIN_DIRECTION direction, IPin* receivePin);
    virtual HRESULT StartStreaming();
    virtual HRESULT StopStreaming();

    virtual HRESULT Receive(IMediaSample* sample);
    virtual HRESULT EndOfStream();
    virtual HRESULT BeginFlush();
    virtual HRESULT EndFlush();
    virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

    // A buffer of the output allocator with the input's properties (see above).
    virtual HRESULT InitializeOutputSample(IMediaSample* in, IMediaSample** out);

    CTransformInputPin* InputPin() const { return m_input.get(); }
    CTransformOutputPin* OutputPin() const { return m_output.get(); }

protected:
    friend class CTransformInputPin; // takes the receive lock

    // Creates the pins "Input" and "Output".
    CTransformFilter(const char* name, IUnknown* outer, const CLSID& clsid);
    ~CTransformFilter() override;

    std::unique_ptr<CTransformInputPin> m_input;
    std::unique_ptr<CTransformOutputPin> m_output;
    std::recursive_mutex m_receiveLock;
};

} // namespace fz::media
