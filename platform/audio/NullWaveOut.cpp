#include "platform/audio/PacedClock.h"
#include "platform/audio/WaveOutBackend.h"

#include <algorithm>

namespace fz::audio {
namespace {

// Silent output paced like a card with a 50-ms buffer: what it takes is "played" in real
// time and thrown away.
class NullWaveOut final : public WaveOutBackend {
public:
    explicit NullWaveOut(const WaveFormat& format)
        : m_clock(format.samplesPerSec, format.samplesPerSec / 20) {}

    long Write(const std::uint8_t*, std::size_t frames) override {
        const auto now = PacedClock::Clock::now();
        const std::size_t taken = std::min(frames, m_clock.Room(now));
        m_clock.Add(taken, now);
        return static_cast<long>(taken);
    }
    void Flush() override {}
    std::uint64_t PlayedFrames() override { return m_clock.Played(PacedClock::Clock::now()); }
    void Pause() override { m_clock.Pause(PacedClock::Clock::now()); }
    void Resume() override { m_clock.Resume(PacedClock::Clock::now()); }
    void Drop() override { m_clock.Drop(); }

private:
    PacedClock m_clock;
};

} // namespace

std::unique_ptr<WaveOutBackend> OpenNullWaveOut(const WaveFormat& format) {
    return std::make_unique<NullWaveOut>(format);
}

} // namespace fz::audio
