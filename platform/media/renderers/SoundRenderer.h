#pragma once

#include "platform/media/base/BaseRenderer.h"
#include "platform/media/renderers/SoundOutput.h"

#include <atomic>
#include <mutex>

namespace fz::media {

class CSoundClock;

// The sound renderer (CLSID_DSoundRender): plays PCM (8-bit unsigned or 16-bit signed, one or
// two channels, any rate from 1 Hz) through wave-out (FRAMZEL_AUDIO), and gives the graph its
// clock (IReferenceClock, aggregated): while sound is playing the clock advances with the
// sound actually played (the device's position), otherwise with the system's clock, and it
// never jumps or runs backwards.
//
// Streaming: samples go to the device one after the other as they arrive; the device paces
// them (Receive blocks while its eight 50-ms buffers are queued). The first sample after Run
// from Stopped or a flush waits for its time: the gap between the stream time and its start
// is played as silence, so sound that starts late in the source starts late here too. While
// paused the device holds (and the renderer base holds the streaming thread); Stop and flush
// drop what is queued and release the streaming thread at once. At the end of the stream the
// renderer waits until the queued sound has played before it reports EC_COMPLETE.
//
// A device that cannot be opened (no sound card): the renderer goes on silently, holding
// each sample until its time on the clock, so the graph plays in real time without sound.
class CSoundRenderer final : public CBaseRenderer {
public:
    explicit CSoundRenderer(IUnknown* outer);

    HRESULT NonDelegatingQueryInterface(const IID& iid, void** object) override;

    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT SetMediaType(const CMediaType* type) override;
    HRESULT DoRenderSample(IMediaSample* sample) override;
    bool PacedByClock() const override { return !m_deviceOpen.load(); }
    HRESULT OnStartStreaming() override;
    HRESULT OnStopStreaming() override;
    HRESULT OnEndOfStream() override;
    void OnFlush() override;
    void OnStateChanged() override;
    HRESULT EndFlush() override;

    // The clock's time source (CSoundClock), in 100-ns units.
    REFERENCE_TIME ClockTime();
    // For tests: bytes handed to the device since the last start or flush.
    std::uint64_t BytesWritten() const { return m_output.WrittenBytes(); }

private:
    ~CSoundRenderer() override;

    SoundOutput m_output;
    audio::WaveFormat m_format;
    std::atomic<bool> m_deviceOpen{false};
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_firstSample{true}; // the next sample starts a run of sound
    CSoundClock* m_clock = nullptr;        // aggregated, owned (its non-delegating unknown)

    std::mutex m_clockMutex; // guards the clock's fields below
    REFERENCE_TIME m_lastTime = 0;
    REFERENCE_TIME m_lastSystemTime = 0;
    REFERENCE_TIME m_soundOffset = 0; // clock time minus played sound time while it plays
    bool m_wasFlowing = false;
};

} // namespace fz::media
