#pragma once

#include "platform/media/base/BaseFilter.h"
#include "platform/media/base/BasePin.h"
#include "platform/sync/Event.h"

#include <memory>
#include <mutex>

namespace fz::media {

class CBaseRenderer;

// The input pin "Input" of a renderer; everything goes to the renderer.
class CRendererInputPin : public CBaseInputPin {
public:
    CRendererInputPin(CBaseRenderer* renderer, const char* name);

    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT SetMediaType(const CMediaType* type) override;
    HRESULT BreakConnect() override;
    HRESULT CompleteConnect(IPin* receivePin) override;
    HRESULT Receive(IMediaSample* sample) override;
    HRESULT ReceiveCanBlock() override;
    HRESULT EndOfStream() override;
    HRESULT BeginFlush() override;
    HRESULT EndFlush() override;
    HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

private:
    CBaseRenderer* m_renderer;
};

// A filter with one input pin "Input" that presents samples and ends the stream.
//
// Receive (upstream streaming thread):
//   1. refused while stopped (VFW_E_WRONG_STATE) or after the end of stream
//      (VFW_E_SAMPLE_REJECTED_EOS); S_FALSE while flushing;
//   2. the sample counts as received (IRenderedStream::GetReceivedPosition);
//   3. while the filter is paused it waits (OnReceiveFirstSample is called once per pause,
//      with the sample, so a picture can be shown while paused);
//   4. while running with a clock, and PacedByClock(), it waits until the stream time reaches
//      the sample's start time (samples without a time are rendered at once);
//   5. DoRenderSample. A failure there is sent to the graph as EC_ERRORABORT and returned.
//   Stop and BeginFlush end every wait at once: the sample is dropped and Receive answers
//   S_FALSE. Pause ends the clock wait and goes back to 3.
// EndOfStream (streaming thread): OnEndOfStream (e.g. play out what is queued), then, with a
// clock, waits until the last sample's stop time; EC_COMPLETE goes to the graph once the
// filter runs (at once when running, else at the next Run). Stop and flushing clear it.
//
// Required: CheckMediaType, DoRenderSample. Optional: SetMediaType, PacedByClock (default
// true; false for a renderer that never waits for a clock), OnReceiveFirstSample,
// OnStartStreaming (Pause from Stopped) / OnStopStreaming (Stop), OnEndOfStream, OnFlush
// (BeginFlush, after the waits were released), OnStateChanged (after each Stop / Pause / Run,
// on the application's thread, with the filter lock held).
//
// The sample passed to DoRenderSample belongs to the upstream allocator and is valid during
// the call (take a reference to keep it). Answers IAMFilterMiscFlags (a renderer) and
// IRenderedStream.
class CBaseRenderer : public CBaseFilter, public IAMFilterMiscFlags, public IRenderedStream {
public:
    FZ_COM_DELEGATING_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(const IID& iid, void** object) override;

    int GetPinCount() override { return 1; }
    CBasePin* GetPin(int index) override;

    HRESULT Stop() override;
    HRESULT Pause() override;
    HRESULT Run(REFERENCE_TIME start) override;

    // IAMFilterMiscFlags
    std::uint32_t GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_RENDERER; }
    // IRenderedStream
    HRESULT GetReceivedPosition(REFERENCE_TIME* position) override;
    HRESULT UsesClock() override { return PacedByClock() ? com::S_OK : com::S_FALSE; }

    virtual HRESULT CheckMediaType(const CMediaType* type) = 0;
    virtual HRESULT DoRenderSample(IMediaSample* sample) = 0;
    virtual HRESULT SetMediaType(const CMediaType* type);
    virtual bool PacedByClock() const { return true; }
    virtual void OnReceiveFirstSample(IMediaSample* sample);
    virtual HRESULT OnStartStreaming();
    virtual HRESULT OnStopStreaming();
    virtual HRESULT OnEndOfStream();
    virtual void OnFlush();
    virtual void OnStateChanged();

    // The pin's calls.
    virtual HRESULT Receive(IMediaSample* sample);
    virtual HRESULT EndOfStream();
    virtual HRESULT BeginFlush();
    virtual HRESULT EndFlush();
    virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

    CRendererInputPin* InputPin() const { return m_input.get(); }
    // Whether the end of stream has arrived since the last Stop, flush or Pause from Stopped.
    bool EndOfStreamReceived() const;

protected:
    // Creates the pin "Input".
    CBaseRenderer(const char* name, IUnknown* outer, const CLSID& clsid);
    ~CBaseRenderer() override;

    // Waits while paused and then, when paced, until the stream time reaches `until`
    // (nullptr: no time). S_OK to go on, S_FALSE when stopped or flushing.
    HRESULT WaitForRenderTime(const REFERENCE_TIME* until);

    std::unique_ptr<CRendererInputPin> m_input;

private:
    void Interrupt(); // ends the current wait (state change, flush)
    void SendCompleteIfDue();

    mutable std::mutex m_streamMutex; // guards the fields below
    bool m_endOfStream = false;
    bool m_awaitingSegment = false; // flushed: the position is unknown until NewSegment
    bool m_completeSent = false;
    bool m_firstSampleShown = false;
    REFERENCE_TIME m_received = 0;
    sync::Event m_interrupt{sync::EventReset::Auto};
    sync::Event m_advise{sync::EventReset::Auto};
};

} // namespace fz::media
