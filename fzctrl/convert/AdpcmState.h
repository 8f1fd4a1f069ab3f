#pragma once

#include <cstdint>

namespace fz {

// The running state of an IMA ADPCM encoder or decoder: the last reconstructed sample and the
// step index (0..88). The caller initialises it (the movie writer starts from {0, 0}) and keeps
// it between calls; every call leaves the state after its last sample in it.
struct AdpcmState {
    std::int16_t predictor = 0;
    std::int8_t index = 0;
};

} // namespace fz
