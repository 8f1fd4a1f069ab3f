#include "fzctrl/play/mpa/MpaSynthesisKernels.h"
#include "platform/cpu/SimdLevel.h"

namespace fz::mpa {

namespace {

const SynthesisKernel& Choose() {
    const cpu::SimdLevel level = cpu::AllowedSimdLevel();
    if (level >= cpu::SimdLevel::Avx2)
        if (const SynthesisKernel* avx2 = Avx2SynthesisKernel())
            return *avx2;
    if (level >= cpu::SimdLevel::Sse2)
        if (const SynthesisKernel* sse2 = Sse2SynthesisKernel())
            return *sse2;
    return PortableSynthesisKernel();
}

} // namespace

const SynthesisKernel& SelectedSynthesisKernel() {
    static const SynthesisKernel& chosen = Choose();
    return chosen;
}

} // namespace fz::mpa
