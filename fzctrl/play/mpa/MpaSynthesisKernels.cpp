#include "fzctrl/play/mpa/MpaSynthesisKernels.h"
#include "platform/cpu/SimdLevel.h"

namespace fz::mpa {

const SynthesisKernel& SelectedSynthesisKernel() {
    static const SynthesisKernel& chosen =
        cpu::ChooseKernel(PortableSynthesisKernel(), Sse2SynthesisKernel(), Avx2SynthesisKernel());
    return chosen;
}

} // namespace fz::mpa
