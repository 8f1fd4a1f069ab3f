#pragma once

#include "platform/com/Guid.h"

#include <cstdint>

namespace fz::dsp {

// The identities of the filter library's two filters, as the engine creates them and as they
// are registered.
inline constexpr com::CLSID CLSID_MovieVideoDsp =
    com::MakeGuid("{335C3CB8-BDDD-4519-ADBD-C7F5A9E53AFC}");
inline constexpr com::CLSID CLSID_MovieAudioDsp =
    com::MakeGuid("{335C3CB8-BDDD-4520-ADBD-C7F5A9E53AFC}");

inline constexpr const char* kMovieVideoDspName = "Movie Video DSP";
inline constexpr const char* kMovieAudioDspName = "Movie Audio DSP";

// Both filters are registered as unlikely to be chosen by automatic graph building: the
// engine places them itself.
inline constexpr std::uint32_t MERIT_UNLIKELY = 0x00200000;

} // namespace fz::dsp
