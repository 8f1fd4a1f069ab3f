#include "platform/cpu/SimdLevel.h"

#include <cstdlib>
#include <string_view>

namespace fz::cpu {

bool ProcessorRuns(SimdLevel level) {
    switch (level) {
    case SimdLevel::Portable:
        return true;
#if defined(__x86_64__)
    case SimdLevel::Sse2:
        return true; // part of every x86-64 processor
    case SimdLevel::Avx2:
        return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
    case SimdLevel::Sse2:
    case SimdLevel::Avx2:
        return false;
#endif
    }
    return false;
}

SimdLevel AllowedSimdLevel() {
    const char* setting = std::getenv("FRAMZEL_SIMD");
    const std::string_view wanted = setting != nullptr ? setting : "";
    if (wanted == "0")
        return SimdLevel::Portable;
    if (wanted != "sse2" && ProcessorRuns(SimdLevel::Avx2))
        return SimdLevel::Avx2;
    if (ProcessorRuns(SimdLevel::Sse2))
        return SimdLevel::Sse2;
    return SimdLevel::Portable;
}

} // namespace fz::cpu
