#pragma once

#include "fzctrl/play/mpa/MpaLayer3State.h"

#include <cstdint>

namespace fz::mpa {

// The bit reservoir (ISO/IEC 11172-3 2.4.3.4.2, main_data_begin). A frame's main data may start
// up to main_data_begin bytes before the frame, in the main data of earlier frames.
//
// Each frame's `mainBytes` bytes of main data are appended at the write position. Before that,
// when the write position has passed kReservoirMoveThreshold, the last `mainDataBegin` bytes
// (the ones this frame still needs) move to the start and older ones are dropped. Returns the
// reservoir offset of this frame's main data, or −1 when it would begin before the oldest byte
// held (after a reset or a jump): such a frame has no samples, but its bytes are kept for the
// frames after it. Never writes past kReservoirBytes: bytes that would not fit are dropped.
int Layer3ReservoirAppend(Layer3State& state, const std::uint8_t* mainData, int mainBytes,
                          int mainDataBegin);

} // namespace fz::mpa
