#pragma once

#include "platform/com/ComPtr.h"
#include "platform/media/base/BaseRenderer.h"
#include "platform/media/base/GraphInterfaces.h"
#include "platform/media/base/TransformFilter.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Filters for the graph tests: a source that delivers an exact script of samples on one
// thread per pin and seeks like a file source, a transform with a replaceable Transform, and a
// renderer that records what it was given.
namespace fz::media::test {

struct ScriptedSample {
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    bool timed = true;
    long length = 16;
    std::uint8_t fill = 0;
};

struct StreamScript {
    CMediaType type;
    std::vector<ScriptedSample> samples;
    long bufferSize = 4096;
    long bufferCount = 2;
    bool endOfStream = true;
    // Called on the pin's thread before sample `index` is taken; may block (a test's gate).
    std::function<void(std::size_t index)> beforeDeliver;
};

// `count` samples of `frameTime` each from 0, fill byte = index, the given type.
StreamScript EvenStream(const CMediaType& type, int count, REFERENCE_TIME frameTime,
                        long length = 16);

class CTestSource;

class CTestSourcePin final : public CBaseOutputPin {
public:
    CTestSourcePin(CTestSource* source, const char* name, StreamScript script);
    ~CTestSourcePin() override;

    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT GetMediaType(int position, CMediaType* type) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) override;

    void StartStreaming(REFERENCE_TIME from, REFERENCE_TIME duration);
    void StopStreaming(); // joins the thread
    // The result of each Deliver, in order (for tests).
    std::vector<HRESULT> DeliveryResults() const;
    bool Streaming() const { return m_thread.joinable(); }

private:
    void StreamLoop(REFERENCE_TIME from, REFERENCE_TIME duration);

    StreamScript m_script;
    std::thread m_thread;
    std::atomic<bool> m_stopRequested{false};
    mutable std::mutex m_resultsMutex;
    std::vector<HRESULT> m_results;
};

// A seekable source: capabilities absolute seeking, duration, current position (0x29) unless
// told otherwise. SetPositions flushes every pin, restarts its thread at the new position
// (a new segment), and delivers the samples whose stop time lies after the position, with
// their own times.
class CTestSource final : public CBaseFilter, public IMediaSeeking {
public:
    CTestSource(std::vector<StreamScript> streams, REFERENCE_TIME duration,
                std::uint32_t capabilities = AM_SEEKING_CanSeekAbsolute |
                                             AM_SEEKING_CanGetDuration |
                                             AM_SEEKING_CanGetCurrentPos);
    ~CTestSource() override;

    FZ_COM_DELEGATING_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(const IID& iid, void** object) override;

    int GetPinCount() override { return static_cast<int>(m_pins.size()); }
    CBasePin* GetPin(int index) override;
    CTestSourcePin* SourcePin(int index) { return m_pins[static_cast<std::size_t>(index)].get(); }

    HRESULT Stop() override;
    HRESULT Pause() override;

    HRESULT GetCapabilities(std::uint32_t* capabilities) override;
    HRESULT CheckCapabilities(std::uint32_t* capabilities) override;
    HRESULT IsFormatSupported(const GUID* format) override;
    HRESULT QueryPreferredFormat(GUID* format) override;
    HRESULT GetTimeFormat(GUID* format) override;
    HRESULT IsUsingTimeFormat(const GUID* format) override;
    HRESULT SetTimeFormat(const GUID* format) override;
    HRESULT GetDuration(std::int64_t* duration) override;
    HRESULT GetStopPosition(std::int64_t* stop) override;
    HRESULT GetCurrentPosition(std::int64_t* current) override;
    HRESULT ConvertTimeFormat(std::int64_t* target, const GUID* targetFormat, std::int64_t source,
                              const GUID* sourceFormat) override;
    HRESULT SetPositions(std::int64_t* current, std::uint32_t currentFlags, std::int64_t* stop,
                         std::uint32_t stopFlags) override;
    HRESULT GetPositions(std::int64_t* current, std::int64_t* stop) override;
    HRESULT GetAvailable(std::int64_t* earliest, std::int64_t* latest) override;
    HRESULT SetRate(double rate) override;
    HRESULT GetRate(double* rate) override;
    HRESULT GetPreroll(std::int64_t* preroll) override;

private:
    std::vector<std::unique_ptr<CTestSourcePin>> m_pins;
    REFERENCE_TIME m_duration;
    std::uint32_t m_capabilities;
    REFERENCE_TIME m_position = 0;
};

// Copies the input to the output unless a Transform of the test's own is set. Its output
// offers the input's type; DecideBufferSize asks for `bufferCount` buffers of the input's
// buffer size.
class CTestTransform final : public CTransformFilter {
public:
    using TransformFunction = std::function<HRESULT(IMediaSample* in, IMediaSample* out)>;

    explicit CTestTransform(long bufferCount = 1, TransformFunction transform = {});

    HRESULT CheckInputType(const CMediaType* in) override;
    HRESULT CheckTransform(const CMediaType* in, const CMediaType* out) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) override;
    HRESULT GetMediaType(int position, CMediaType* type) override;
    HRESULT Transform(IMediaSample* in, IMediaSample* out) override;

    ALLOCATOR_PROPERTIES Granted() const { return m_granted; }

private:
    long m_bufferCount;
    TransformFunction m_transform;
    ALLOCATOR_PROPERTIES m_granted;
};

struct RenderedSample {
    HRESULT timeResult = 0;
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    long length = 0;
    std::uint8_t firstByte = 0;
    std::uint8_t* buffer = nullptr; // where the bytes were (identifies the buffer)
    bool discontinuity = false;
    std::chrono::steady_clock::time_point renderedAt;
};

// Records every sample; takes any type (or only `major` when not GUID_NULL).
class CTestRenderer final : public CBaseRenderer {
public:
    explicit CTestRenderer(bool pacedByClock, GUID major = com::GUID_NULL);

    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT DoRenderSample(IMediaSample* sample) override;
    bool PacedByClock() const override { return m_paced; }

    std::vector<RenderedSample> Rendered() const;
    // Waits until `count` samples were rendered; false after `timeoutMs`.
    bool WaitForRendered(std::size_t count, int timeoutMs) const;
    void SetRenderResult(HRESULT result) { m_renderResult = result; }
    // Keeps a reference to the last sample after rendering it (as a renderer that shows the
    // last picture does) until the next sample, a flush or Stop.
    void SetKeepLastSample(bool keep) { m_keepLast = keep; }
    HRESULT OnStopStreaming() override;
    void OnFlush() override;
    // Counts the samples shown while paused (each first one after a pause or flush).
    void OnReceiveFirstSample(IMediaSample* sample) override;
    bool WaitForPrerolled(std::size_t count, int timeoutMs) const;

private:
    void DropKeptSample();

    bool m_paced;
    std::atomic<bool> m_keepLast{false};
    com::ComPtr<IMediaSample> m_kept;
    GUID m_major;
    std::atomic<HRESULT> m_renderResult{0};
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<RenderedSample> m_rendered;
    std::size_t m_prerolled = 0;
};

// A new filter's IBaseFilter (the caller's reference) and its object.
template <class T, class... Args>
com::ComPtr<IBaseFilter> MakeFilter(T** object, Args&&... args) {
    T* created = new T(std::forward<Args>(args)...);
    com::ComPtr<IBaseFilter> filter;
    created->NonDelegatingQueryInterface(IBaseFilter::kIid, filter.PutVoid());
    created->NonDelegatingRelease();
    if (object)
        *object = created;
    return filter;
}

// The filter's pin by name, with a reference.
com::ComPtr<IPin> PinOf(IBaseFilter* filter, const char* name);

} // namespace fz::media::test
