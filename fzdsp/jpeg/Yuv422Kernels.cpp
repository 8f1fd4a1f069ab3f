#include "fzdsp/jpeg/Yuv422Kernels.h"

#include "fzdsp/jpeg/Yuv422ColourConversion.h"
#include "fzdsp/jpeg/Yuv422ForwardDct.h"
#include "fzdsp/jpeg/Yuv422Quantiser.h"
#include "platform/cpu/SimdLevel.h"

#include <array>

namespace fz {
namespace {

std::uint64_t PortableTransformBlock(const std::uint8_t* samples, std::size_t stride,
                                     const std::int32_t* multipliers, int shiftCode,
                                     std::int16_t* coefficients) {
    std::array<std::int32_t, 64> block;
    for (std::size_t row = 0; row < 8; ++row)
        for (std::size_t column = 0; column < 8; ++column)
            block[row * 8 + column] = samples[row * stride + column] - 128;
    ForwardDct8x8(block);
    std::uint64_t nonZero = 0;
    for (std::size_t i = 0; i < 64; ++i) {
        const std::int32_t q = Quantise(block[i], multipliers[i], shiftCode);
        coefficients[i] = static_cast<std::int16_t>(q);
        nonZero |= static_cast<std::uint64_t>(q != 0) << i;
    }
    return nonZero;
}

const Yuv422Kernels kPortable = {"portable", ConvertToYuv422, PortableTransformBlock};

} // namespace

const Yuv422Kernels& PortableYuv422Kernels() {
    return kPortable;
}

// SSE2 belongs to every x86-64 processor.
const Yuv422Kernels* Sse2Yuv422Kernels() {
    return detail::BuiltSse2Yuv422Kernels();
}

const Yuv422Kernels* Avx2Yuv422Kernels() {
    return cpu::ProcessorRuns(cpu::SimdLevel::Avx2) ? detail::BuiltAvx2Yuv422Kernels() : nullptr;
}

const Yuv422Kernels& SelectedYuv422Kernels() {
    static const Yuv422Kernels& chosen =
        cpu::ChooseKernel(kPortable, Sse2Yuv422Kernels(), Avx2Yuv422Kernels());
    return chosen;
}

} // namespace fz
