#include "platform/audio/AlsaQuiet.h"
#include "platform/audio/WaveOutBackend.h"

#include <alsa/asoundlib.h>

#include <algorithm>
#include <cerrno>

namespace fz::audio {
namespace {

constexpr unsigned kLatencyUs = 100000; // the card's buffer: 100 ms

// A PCM device of ALSA, opened non-blocking so that a busy or missing card fails at once and
// a full buffer answers "no room" instead of waiting.
class AlsaWaveOut final : public WaveOutBackend {
public:
    AlsaWaveOut(snd_pcm_t* pcm, bool canPause)
        : m_pcm(pcm)
        , m_canPause(canPause) {}

    ~AlsaWaveOut() override {
        snd_pcm_drop(m_pcm);
        snd_pcm_close(m_pcm);
    }

    long Write(const std::uint8_t* data, std::size_t frames) override {
        if (frames == 0)
            return 0;
        for (int attempt = 0; attempt < 2; ++attempt) {
            const snd_pcm_sframes_t n = snd_pcm_writei(m_pcm, data, frames);
            if (n >= 0) {
                m_written += static_cast<std::uint64_t>(n);
                return static_cast<long>(n);
            }
            if (n == -EAGAIN)
                return 0;
            // An underrun (-EPIPE) or a suspend (-ESTRPIPE): whatever the card held has played.
            if (n == -EPIPE || n == -ESTRPIPE)
                m_played = m_written;
            if (snd_pcm_recover(m_pcm, static_cast<int>(n), 1) < 0)
                return -1;
        }
        return 0;
    }

    void Flush() override {
        if (snd_pcm_state(m_pcm) == SND_PCM_STATE_PREPARED && m_written > PlayedFrames())
            snd_pcm_start(m_pcm);
    }

    std::uint64_t PlayedFrames() override {
        snd_pcm_sframes_t delay = 0;
        const snd_pcm_state_t state = snd_pcm_state(m_pcm);
        if (state == SND_PCM_STATE_XRUN || state == SND_PCM_STATE_DISCONNECTED) {
            m_played = m_written;
        } else if (snd_pcm_delay(m_pcm, &delay) == 0) {
            const std::uint64_t held = delay > 0 ? static_cast<std::uint64_t>(delay) : 0;
            const std::uint64_t played = m_written > held ? m_written - held : 0;
            m_played = std::max(m_played, played);
        }
        return m_played;
    }

    void Pause() override {
        if (snd_pcm_state(m_pcm) != SND_PCM_STATE_RUNNING)
            return;
        if (m_canPause && snd_pcm_pause(m_pcm, 1) == 0)
            return;
        // A card that cannot pause loses what it holds; it counts as played so that every
        // buffer still comes back.
        snd_pcm_drop(m_pcm);
        snd_pcm_prepare(m_pcm);
        m_played = m_written;
    }

    void Resume() override {
        if (snd_pcm_state(m_pcm) == SND_PCM_STATE_PAUSED)
            snd_pcm_pause(m_pcm, 0);
    }

    void Drop() override {
        snd_pcm_drop(m_pcm);
        snd_pcm_prepare(m_pcm);
        m_written = 0;
        m_played = 0;
    }

private:
    snd_pcm_t* m_pcm;
    bool m_canPause;
    std::uint64_t m_written = 0;
    std::uint64_t m_played = 0;
};

} // namespace

std::unique_ptr<WaveOutBackend> OpenAlsaWaveOut(const WaveFormat& format, const std::string& device,
                                                MMRESULT* error) {
    SilenceAlsaErrors();
    snd_pcm_t* pcm = nullptr;
    const int opened = snd_pcm_open(&pcm, device.empty() ? "default" : device.c_str(),
                                    SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (opened < 0) {
        *error = opened == -EBUSY ? MMSYSERR_ALLOCATED : MMSYSERR_NODRIVER;
        return nullptr;
    }
    const snd_pcm_format_t sampleFormat =
        format.bitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
    if (snd_pcm_set_params(pcm, sampleFormat, SND_PCM_ACCESS_RW_INTERLEAVED, format.channels,
                           format.samplesPerSec, 1, kLatencyUs) < 0) {
        snd_pcm_close(pcm);
        *error = WAVERR_BADFORMAT;
        return nullptr;
    }
    bool canPause = false;
    snd_pcm_hw_params_t* params = nullptr;
    if (snd_pcm_hw_params_malloc(&params) == 0) {
        if (snd_pcm_hw_params_current(pcm, params) == 0)
            canPause = snd_pcm_hw_params_can_pause(params) != 0;
        snd_pcm_hw_params_free(params);
    }
    return std::make_unique<AlsaWaveOut>(pcm, canPause);
}

} // namespace fz::audio
