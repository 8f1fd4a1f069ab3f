#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace fz::audio {

// The timing of a device without a card: a buffer of `bufferFrames` frames that drains at
// `rate` frames per second of the monotonic clock while it holds anything and is not paused.
// When it runs dry it waits for the next frames, as a card does after an underrun. Used by
// the null and the file backends; not thread-safe (the device thread is its only user).
class PacedClock {
public:
    using Clock = std::chrono::steady_clock;

    PacedClock(std::uint32_t rate, std::uint32_t bufferFrames);

    // Frames that fit into the buffer now.
    std::size_t Room(Clock::time_point now);

    // `frames` more were put into the buffer.
    void Add(std::size_t frames, Clock::time_point now);

    std::uint64_t Played(Clock::time_point now);
    std::uint64_t Written() const { return m_written; }

    void Pause(Clock::time_point now);
    void Resume(Clock::time_point now);

    // Empties the buffer; both counts restart at 0.
    void Drop();

private:
    void Settle(Clock::time_point now);

    const std::uint32_t m_rate;
    const std::uint32_t m_bufferFrames;
    std::uint64_t m_written = 0;
    std::uint64_t m_playedAtAnchor = 0; // frames played when the current run began
    Clock::time_point m_anchor;         // when the current run began
    bool m_running = false;             // draining now
    bool m_paused = false;
};

} // namespace fz::audio
