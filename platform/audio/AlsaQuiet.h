#pragma once

namespace fz::audio {

// ALSA reports every failed open (no card, unknown device) on standard error from inside the
// library; the wave-out and mixer layers report failures through their results instead, so
// they silence the library's own messages before their first call.
void SilenceAlsaErrors();

} // namespace fz::audio
