#pragma once

#include "fzctrl/play/mpa/MpaLayer3Requantize.h"
#include "fzctrl/play/mpa/MpaLayer3State.h"

namespace fz::mpa {

// The hybrid filter bank of one granule of one channel (ISO/IEC 11172-3 2.4.3.4.8 to
// 2.4.3.4.10): reordering of short bands into subband order, alias reduction of long
// subbands, IMDCT with the window of the block type, overlap-add with the previous granule
// (kept in `state.overlap[channel]`), frequency inversion of the odd subbands. Writes
// out[time slot][subband]; subbands from state.subbandLimit on are zero. `spectrum` is used as
// working space. The lowest subbands of a mixed block (those of its long bands) take the
// normal window.
void Layer3HybridFilter(Layer3Spectrum& spectrum, const Layer3GranuleInfo& granule, int version,
                        int rateRow, Layer3State& state, int channel, float (&out)[18][32]);

} // namespace fz::mpa
