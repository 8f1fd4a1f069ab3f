#include "platform/audio/PacedClock.h"

#include "platform/audio/WaveOutBackend.h"
#include "platform/bytes/LittleEndian.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <deque>

namespace fz::audio {
namespace {

// The canonical 44-byte header of a PCM WAVE file holding `dataBytes` bytes of sound.
std::array<std::uint8_t, 44> WaveHeaderBytes(const WaveFormat& format, std::uint64_t dataBytes) {
    const auto data =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(dataBytes, 0xFFFFFFFFu - 36));
    std::array<std::uint8_t, 44> h{};
    std::copy_n("RIFF", 4, h.begin());
    WriteLe32(&h[4], 36 + data);
    std::copy_n("WAVEfmt ", 8, h.begin() + 8);
    WriteLe32(&h[16], 16);
    WriteLe16(&h[20], static_cast<std::uint16_t>(kWaveFormatPcm));
    WriteLe16(&h[22], static_cast<std::uint16_t>(format.channels));
    WriteLe32(&h[24], format.samplesPerSec);
    WriteLe32(&h[28], format.samplesPerSec * format.blockAlign);
    WriteLe16(&h[32], static_cast<std::uint16_t>(format.blockAlign));
    WriteLe16(&h[34], static_cast<std::uint16_t>(format.bitsPerSample));
    std::copy_n("data", 4, h.begin() + 36);
    WriteLe32(&h[40], data);
    return h;
}

// Paced like the null output; what has been played goes to a WAVE file, so the file holds
// exactly the sound a listener would have heard (frames dropped by a reset never reach it).
// The header's sizes are written when the output closes.
class FileWaveOut final : public WaveOutBackend {
public:
    FileWaveOut(const WaveFormat& format, std::FILE* file)
        : m_format(format)
        , m_clock(format.samplesPerSec, format.samplesPerSec / 20)
        , m_file(file) {}

    ~FileWaveOut() override {
        Store(m_clock.Played(PacedClock::Clock::now()));
        const auto header = WaveHeaderBytes(m_format, m_storedBytes);
        if (std::fseek(m_file, 0, SEEK_SET) == 0)
            std::fwrite(header.data(), 1, header.size(), m_file);
        std::fclose(m_file);
    }

    long Write(const std::uint8_t* data, std::size_t frames) override {
        const auto now = PacedClock::Clock::now();
        const std::size_t taken = std::min(frames, m_clock.Room(now));
        m_pending.insert(m_pending.end(), data, data + taken * m_format.blockAlign);
        m_clock.Add(taken, now);
        return static_cast<long>(taken);
    }
    void Flush() override {}
    std::uint64_t PlayedFrames() override {
        const std::uint64_t played = m_clock.Played(PacedClock::Clock::now());
        Store(played);
        return played;
    }
    void Pause() override { m_clock.Pause(PacedClock::Clock::now()); }
    void Resume() override { m_clock.Resume(PacedClock::Clock::now()); }
    void Drop() override {
        Store(m_clock.Played(PacedClock::Clock::now()));
        m_pending.clear();
        m_clock.Drop();
        m_storedFrames = 0;
    }

private:
    // Moves the frames played since the last call from the pending bytes to the file.
    void Store(std::uint64_t played) {
        if (played <= m_storedFrames)
            return;
        const std::size_t bytes =
            static_cast<std::size_t>(played - m_storedFrames) * m_format.blockAlign;
        std::array<std::uint8_t, 4096> chunk;
        std::size_t left = std::min(bytes, m_pending.size());
        while (left > 0) {
            const std::size_t n = std::min(left, chunk.size());
            std::copy_n(m_pending.begin(), n, chunk.begin());
            m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<long>(n));
            m_storedBytes += std::fwrite(chunk.data(), 1, n, m_file);
            left -= n;
        }
        m_storedFrames = played;
    }

    const WaveFormat m_format;
    PacedClock m_clock;
    std::FILE* m_file;
    std::deque<std::uint8_t> m_pending; // written, not yet played
    std::uint64_t m_storedFrames = 0;   // played frames already in the file (since the last drop)
    std::uint64_t m_storedBytes = 0;    // sound bytes in the file
};

} // namespace

std::unique_ptr<WaveOutBackend> OpenFileWaveOut(const WaveFormat& format, const std::string& path,
                                                MMRESULT* error) {
    std::FILE* file = path.empty() ? nullptr : std::fopen(path.c_str(), "wb");
    if (!file) {
        *error = MMSYSERR_NODRIVER;
        return nullptr;
    }
    const auto header = WaveHeaderBytes(format, 0);
    if (std::fwrite(header.data(), 1, header.size(), file) != header.size()) {
        std::fclose(file);
        *error = MMSYSERR_ERROR;
        return nullptr;
    }
    return std::make_unique<FileWaveOut>(format, file);
}

} // namespace fz::audio
