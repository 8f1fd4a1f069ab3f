#pragma once

#include <cstdint>
#include <memory>

namespace fz::audio {

// The system's wave playback volume, for the control's volume methods. The mixer is the one
// that FRAMZEL_MIXER names:
//   alsa       (the default) the "PCM" playback volume of ALSA's default card, or "Master"
//              when the card has no "PCM" playback volume
//   fake:MAX[:VALUE]  a mixer kept in the process: volume range 0..MAX, starting at VALUE
//              (default (MAX + 1) / 2); one value shared by every fake mixer of the process,
//              as the system's volume is shared
// Anything else, a card without either control, or no card at all: the open fails.
//
// Values are raw control units with the range moved to start at 0 (ALSA's range lo..hi is
// reported as 0..hi − lo). Calls never wait on the card. Any thread; one object is used by
// one thread at a time.
class Mixer {
public:
    virtual ~Mixer() = default;

    // Opens the mixer FRAMZEL_MIXER names; null when it cannot be opened.
    static std::unique_ptr<Mixer> Open();

    // The volume control's maximum (its minimum is 0). False when the control cannot be read.
    virtual bool GetMaximum(std::uint32_t* maximum) = 0;

    // The current volume, 0..maximum (the first channel's when the channels differ).
    virtual bool GetVolume(std::uint32_t* value) = 0;

    // Sets every channel to `value`; a value above the maximum is refused (false), as the
    // platform refuses it.
    virtual bool SetVolume(std::uint32_t value) = 0;
};

// For tests of the fake mixer: make every query and set of fake mixers fail (true) or work
// again (false), as a card that went away would.
void SetFakeMixerFailing(bool failing);

} // namespace fz::audio
