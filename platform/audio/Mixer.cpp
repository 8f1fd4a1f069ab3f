#include "platform/audio/Mixer.h"

#include "platform/audio/MixerBackends.h"

#include <cstdlib>

namespace fz::audio {

std::unique_ptr<Mixer> Mixer::Open() {
    const char* variable = std::getenv("FRAMZEL_MIXER");
    const std::string_view choice = variable && *variable ? variable : "alsa";
    if (choice == "alsa")
        return OpenAlsaMixer();
    if (choice.starts_with("fake:"))
        return OpenFakeMixer(choice.substr(5));
    return nullptr;
}

} // namespace fz::audio
