#include "fzctrl/play/mpa/MpaLayer3Reservoir.h"

#include <algorithm>
#include <cstring>

namespace fz::mpa {

int Layer3ReservoirAppend(Layer3State& state, const std::uint8_t* mainData, int mainBytes,
                          int mainDataBegin) {
    int size = std::clamp(state.reservoirSize, 0, kReservoirBytes);
    if (size > kReservoirMoveThreshold) {
        const int keep = std::clamp(mainDataBegin, 0, size);
        std::memmove(state.reservoir, state.reservoir + size - keep,
                     static_cast<std::size_t>(keep));
        size = keep;
    }
    const int start = size - mainDataBegin;
    const int copied = std::clamp(mainBytes, 0, kReservoirBytes - size);
    if (copied > 0) {
        std::memcpy(state.reservoir + size, mainData, static_cast<std::size_t>(copied));
    }
    state.reservoirSize = size + copied;
    return start < 0 ? -1 : start;
}

} // namespace fz::mpa
