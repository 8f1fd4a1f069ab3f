#pragma once

#include "platform/audio/WaveOut.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace fz::media {

// The sound renderer's side of wave-out: a ring of buffers that the streaming thread fills
// and the device plays. Write copies the stream's bytes into free buffers and waits for the
// device to hand one back when all are queued; Abort (stop, flush) drops everything queued and
// makes every waiting and later Write return at once until Allow.
//
// Threads: Write, WriteSilence and WaitUntilPlayed on the streaming thread; Pause, Resume,
// Abort, Allow, Open and Close on the application's thread; the counters from any thread
// (the clock's). The device's callback only wakes waiters.
class SoundOutput {
public:
    SoundOutput() = default;
    ~SoundOutput();
    SoundOutput(const SoundOutput&) = delete;
    SoundOutput& operator=(const SoundOutput&) = delete;

    // Opens wave-out (FRAMZEL_AUDIO) with eight buffers of about 50 ms each. The device starts
    // paused (Resume starts it). A format the device refuses or a missing device: the error.
    audio::MMRESULT Open(const audio::WaveFormat& format);
    // Drops what is queued and closes the device (nothing when not open).
    void Close();
    bool IsOpen() const;

    // Queues `bytes` bytes of the opened format (a partial sample frame is kept for the next
    // write). False when aborted or not open; the bytes are then dropped.
    bool Write(const std::uint8_t* data, std::size_t bytes);
    // Queues `bytes` bytes of silence (rounded down to whole frames).
    bool WriteSilence(std::size_t bytes);
    // Queues what is left in the buffer being filled and waits until everything written has
    // played; false when aborted meanwhile (or not open).
    bool WaitUntilPlayed();

    void Pause();
    void Resume();
    // Drops everything queued, returns every buffer, and fails writes until Allow.
    void Abort();
    void Allow();

    // Bytes handed to the device and bytes played, since the open or the last Abort.
    std::uint64_t WrittenBytes() const;
    std::uint64_t PlayedBytes() const;
    // Sound is queued and the device is not paused: the played count advances in real time.
    bool Flowing() const;
    const audio::WaveFormat& Format() const { return m_format; }

private:
    static void Callback(audio::HWAVEOUT device, std::uint32_t message, std::uintptr_t instance,
                         std::uintptr_t param1, std::uintptr_t param2);
    // Queues the buffer being filled (m_filling) when it holds anything.
    bool QueueFilling(std::unique_lock<std::mutex>& lock);
    // Waits for a free buffer; false when aborted.
    bool WaitForFreeBuffer(std::unique_lock<std::mutex>& lock);

    audio::HWAVEOUT m_device = nullptr;
    audio::WaveFormat m_format;
    std::vector<std::vector<std::uint8_t>> m_buffers;
    std::vector<audio::WaveHeader> m_headers;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<int> m_free;  // indexes of buffers not queued
    int m_filling = -1;       // buffer being filled, -1 when none
    std::uint32_t m_fill = 0; // bytes in it
    std::uint64_t m_written = 0;
    bool m_aborted = false;
    bool m_paused = true;
};

} // namespace fz::media
