#include "platform/audio/AlsaQuiet.h"
#include "platform/audio/MixerBackends.h"

#include <alsa/asoundlib.h>

#include <algorithm>

namespace fz::audio {
namespace {

// The "PCM" (else "Master") playback volume of ALSA's default card, through the simple mixer
// interface. Every call first handles pending events so that changes made by other programs
// are seen; none waits on the card.
class AlsaMixer final : public Mixer {
public:
    AlsaMixer(snd_mixer_t* mixer, snd_mixer_elem_t* element)
        : m_mixer(mixer)
        , m_element(element) {}
    ~AlsaMixer() override { snd_mixer_close(m_mixer); }

    bool GetMaximum(std::uint32_t* maximum) override {
        long low = 0;
        long high = 0;
        if (!maximum || !Range(&low, &high))
            return false;
        *maximum = static_cast<std::uint32_t>(high - low);
        return true;
    }

    bool GetVolume(std::uint32_t* value) override {
        long low = 0;
        long high = 0;
        long raw = 0;
        if (!value || !Range(&low, &high) ||
            snd_mixer_selem_get_playback_volume(m_element, FirstChannel(), &raw) < 0)
            return false;
        *value = raw > low ? static_cast<std::uint32_t>(std::min(raw, high) - low) : 0;
        return true;
    }

    bool SetVolume(std::uint32_t value) override {
        long low = 0;
        long high = 0;
        if (!Range(&low, &high) || value > static_cast<std::uint64_t>(high - low))
            return false;
        return snd_mixer_selem_set_playback_volume_all(m_element, low + static_cast<long>(value)) ==
               0;
    }

private:
    bool Range(long* low, long* high) {
        snd_mixer_handle_events(m_mixer);
        return snd_mixer_selem_get_playback_volume_range(m_element, low, high) == 0 && *high > *low;
    }

    snd_mixer_selem_channel_id_t FirstChannel() const {
        for (int c = 0; c <= SND_MIXER_SCHN_LAST; ++c) {
            const auto channel = static_cast<snd_mixer_selem_channel_id_t>(c);
            if (snd_mixer_selem_has_playback_channel(m_element, channel))
                return channel;
        }
        return SND_MIXER_SCHN_MONO;
    }

    snd_mixer_t* m_mixer;
    snd_mixer_elem_t* m_element;
};

snd_mixer_elem_t* FindVolume(snd_mixer_t* mixer, const char* name) {
    snd_mixer_selem_id_t* id = nullptr;
    if (snd_mixer_selem_id_malloc(&id) < 0)
        return nullptr;
    snd_mixer_selem_id_set_index(id, 0);
    snd_mixer_selem_id_set_name(id, name);
    snd_mixer_elem_t* element = snd_mixer_find_selem(mixer, id);
    snd_mixer_selem_id_free(id);
    if (element && snd_mixer_selem_has_playback_volume(element))
        return element;
    return nullptr;
}

} // namespace

std::unique_ptr<Mixer> OpenAlsaMixer() {
    SilenceAlsaErrors();
    snd_mixer_t* mixer = nullptr;
    if (snd_mixer_open(&mixer, 0) < 0)
        return nullptr;
    if (snd_mixer_attach(mixer, "default") < 0 ||
        snd_mixer_selem_register(mixer, nullptr, nullptr) < 0 || snd_mixer_load(mixer) < 0) {
        snd_mixer_close(mixer);
        return nullptr;
    }
    snd_mixer_elem_t* element = FindVolume(mixer, "PCM");
    if (!element)
        element = FindVolume(mixer, "Master");
    if (!element) {
        snd_mixer_close(mixer);
        return nullptr;
    }
    return std::make_unique<AlsaMixer>(mixer, element);
}

} // namespace fz::audio
