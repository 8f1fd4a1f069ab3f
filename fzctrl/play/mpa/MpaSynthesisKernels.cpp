#include "fzctrl/play/mpa/MpaSynthesisKernels.h"

#include <cstdlib>
#include <string_view>

namespace fz::mpa {

namespace {

bool ProcessorRunsAvx2() {
#if defined(__x86_64__)
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
    return false;
#endif
}

const SynthesisKernel& Choose() {
    const char* setting = std::getenv("FRAMZEL_SIMD");
    const std::string_view wanted = setting != nullptr ? setting : "";
    if (wanted == "0")
        return PortableSynthesisKernel();
    if (wanted != "sse2" && ProcessorRunsAvx2())
        if (const SynthesisKernel* avx2 = Avx2SynthesisKernel())
            return *avx2;
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
