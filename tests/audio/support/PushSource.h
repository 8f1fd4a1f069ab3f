#pragma once

#include "platform/com/ComPtr.h"
#include "platform/media/base/BaseFilter.h"
#include "platform/media/base/BasePin.h"

#include <atomic>
#include <thread>
#include <vector>

namespace fz::test {

using com::HRESULT;

// One sample of a script: its times (100-ns units) and its bytes.
struct ScriptedSample {
    media::REFERENCE_TIME start = 0;
    media::REFERENCE_TIME stop = 0;
    std::vector<std::uint8_t> bytes;
};

// A source filter for renderer tests: one output pin "Output" offering one media type, and a
// streaming thread (started when the graph leaves Stopped) that delivers the script's samples
// in order, then the end of the stream. It stops delivering when the downstream pin answers
// anything but S_OK or the graph stops.
class CPushSource final : public media::CBaseFilter {
public:
    // A new source with one reference for the caller (`filter`), and the object itself.
    static CPushSource* Create(const media::CMediaType& type, long bufferSize,
                               std::vector<ScriptedSample> script,
                               com::ComPtr<media::IBaseFilter>* filter);

    int GetPinCount() override { return 1; }
    media::CBasePin* GetPin(int index) override;
    HRESULT Pause() override;
    HRESULT Stop() override;

    media::IPin* Output();
    // Samples that the downstream pin took (S_OK), and its last answer.
    int Delivered() const { return m_delivered; }
    HRESULT LastResult() const { return m_lastResult; }
    // Waits until the streaming thread has ended (all delivered, or refused).
    void Join();

private:
    class OutputPin final : public media::CBaseOutputPin {
    public:
        OutputPin(CPushSource* source, const media::CMediaType& type, long bufferSize);
        HRESULT CheckMediaType(const media::CMediaType* type) override;
        HRESULT GetMediaType(int position, media::CMediaType* type) override;
        HRESULT DecideBufferSize(media::IMemAllocator* allocator,
                                 media::ALLOCATOR_PROPERTIES* properties) override;

    private:
        media::CMediaType m_offered;
        long m_bufferSize;
    };

    CPushSource(const media::CMediaType& type, long bufferSize, std::vector<ScriptedSample> script);
    ~CPushSource() override;
    void Stream();

    OutputPin m_output;
    std::vector<ScriptedSample> m_script;
    std::thread m_thread;
    std::atomic<int> m_delivered{0};
    std::atomic<HRESULT> m_lastResult{0};
};

} // namespace fz::test
