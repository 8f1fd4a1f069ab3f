#include "platform/audio/PacedClock.h"

#include <algorithm>

namespace fz::audio {

PacedClock::PacedClock(std::uint32_t rate, std::uint32_t bufferFrames)
    : m_rate(rate)
    , m_bufferFrames(std::max<std::uint32_t>(bufferFrames, 1)) {}

// Brings the run up to `now`: a buffer that has drained stops the run at the frames written.
void PacedClock::Settle(Clock::time_point now) {
    if (!m_running)
        return;
    if (Played(now) >= m_written) {
        m_playedAtAnchor = m_written;
        m_running = false;
    }
}

std::uint64_t PacedClock::Played(Clock::time_point now) {
    if (!m_running)
        return m_playedAtAnchor;
    const auto elapsedNs =
        std::chrono::duration_cast<std::chrono::nanoseconds>(now - m_anchor).count();
    if (elapsedNs <= 0)
        return m_playedAtAnchor;
    // Whole frames that have drained, elapsed ns × rate / 10^9, split into whole seconds and
    // the rest so that no product can overflow.
    const auto ns = static_cast<std::uint64_t>(elapsedNs);
    const std::uint64_t drained =
        ns / 1'000'000'000u * m_rate + ns % 1'000'000'000u * m_rate / 1'000'000'000u;
    return std::min(m_written, m_playedAtAnchor + drained);
}

std::size_t PacedClock::Room(Clock::time_point now) {
    Settle(now);
    const std::uint64_t held = m_written - Played(now);
    return held >= m_bufferFrames ? 0 : static_cast<std::size_t>(m_bufferFrames - held);
}

void PacedClock::Add(std::size_t frames, Clock::time_point now) {
    if (frames == 0)
        return;
    Settle(now);
    m_written += frames;
    if (!m_running && !m_paused) {
        m_anchor = now;
        m_running = true;
    }
}

void PacedClock::Pause(Clock::time_point now) {
    if (m_paused)
        return;
    m_playedAtAnchor = Played(now);
    m_running = false;
    m_paused = true;
}

void PacedClock::Resume(Clock::time_point now) {
    if (!m_paused)
        return;
    m_paused = false;
    if (m_written > m_playedAtAnchor) {
        m_anchor = now;
        m_running = true;
    }
}

void PacedClock::Drop() {
    m_written = 0;
    m_playedAtAnchor = 0;
    m_running = false;
}

} // namespace fz::audio
