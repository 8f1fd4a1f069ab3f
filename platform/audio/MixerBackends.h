#pragma once

#include "platform/audio/Mixer.h"

#include <string_view>

namespace fz::audio {

// One per backend file. `settings` is what follows "fake:" in FRAMZEL_MIXER.
std::unique_ptr<Mixer> OpenFakeMixer(std::string_view settings);
std::unique_ptr<Mixer> OpenAlsaMixer();

} // namespace fz::audio
