#include "fzctrl/play/mpa/MpaDecoderState.h"

namespace fz::mpa {

MpaDecoderState& DecoderState() {
    // Static storage: the Layer III reservoir and the buffers are too large for a stack, and the
    // decoder allocates nothing while it runs.
    static MpaDecoderState state;
    return state;
}

} // namespace fz::mpa
