#include "fzdsp/picture/BilinearScaler.h"

#include "fzdsp/picture/BilinearBlend.h"
#include "platform/cpu/SimdLevel.h"

#include <algorithm>
#include <bit>
#include <cstddef>

namespace fz {
namespace {

static_assert(std::endian::native == std::endian::little,
              "pixels are read as little-endian 32-bit words: blue in the low byte");

// One source sample position per destination column or row.
struct Tap {
    std::uint32_t index;     // source column or row
    std::uint32_t nextIndex; // the neighbour to the right or above, or index itself at the edge
    std::uint32_t weight;    // weight of the neighbour, 0..15
};

// Corner-aligned positions in 32.32 fixed point: step = trunc((s - 1) * 2^32 / (d - 1)).
std::vector<Tap> Taps(int sourceCount, int destinationCount) {
    std::uint64_t step = 0;
    if (destinationCount > 1)
        step = static_cast<std::uint64_t>(static_cast<double>(sourceCount - 1) * 4294967296.0 /
                                          static_cast<double>(destinationCount - 1));
    std::vector<Tap> taps(static_cast<std::size_t>(destinationCount));
    std::uint64_t position = 0;
    for (Tap& tap : taps) {
        tap.index = static_cast<std::uint32_t>(position >> 32);
        tap.nextIndex =
            tap.index + 1 < static_cast<std::uint32_t>(sourceCount) ? tap.index + 1 : tap.index;
        tap.weight = static_cast<std::uint32_t>(position >> 28) & 0xF;
        position += step;
    }
    return taps;
}

BilinearColumnPlan PlanColumns(int sourceWidth, int destinationWidth, int bytesPerPixel) {
    const std::vector<Tap> taps = Taps(sourceWidth, destinationWidth);
    BilinearColumnPlan plan;
    plan.offsets.reserve(taps.size());
    plan.nextOffsets.reserve(taps.size());
    plan.weights.reserve(taps.size());
    const auto bpp = static_cast<std::uint32_t>(bytesPerPixel);
    // A 4-byte load of a 3-byte pixel reads the first byte of the next one: it stays in the
    // row up to the last pixel but one. Positions never decrease, so the columns that may load
    // wide are a leading run.
    bool wide = true;
    for (const Tap& tap : taps) {
        plan.offsets.push_back(static_cast<std::int32_t>(tap.index * bpp));
        plan.nextOffsets.push_back(static_cast<std::int32_t>(tap.nextIndex * bpp));
        plan.weights.push_back(tap.weight * 0x01010101u);
        wide = wide &&
               (bytesPerPixel == 4 || tap.nextIndex + 1 < static_cast<std::uint32_t>(sourceWidth));
        if (wide)
            ++plan.wideLoadColumns;
    }
    return plan;
}

// The portable blend of columns first..columns-1 of one row; the pixel sizes are template
// arguments so that each load and store is one fixed-size move. 3-byte pixels are moved as 4
// bytes where that stays inside the row (Blend ignores the extra byte, and the next pixel's
// store overwrites the extra byte written).
template <int kLoadBytes, int kStoreBytes>
void BlendRange(const std::uint8_t* lower, const std::uint8_t* upper, std::uint32_t rowWeight,
                const BilinearColumnPlan& plan, int first, int end, std::uint8_t* out,
                std::size_t destinationBytesPerPixel) {
    for (int k = first; k < end; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const auto offset = static_cast<std::size_t>(plan.offsets[i]);
        const auto next = static_cast<std::size_t>(plan.nextOffsets[i]);
        const std::uint32_t pixel = bilinear::Blend(bilinear::LoadPixel(lower, offset, kLoadBytes),
                                                    bilinear::LoadPixel(lower, next, kLoadBytes),
                                                    bilinear::LoadPixel(upper, offset, kLoadBytes),
                                                    bilinear::LoadPixel(upper, next, kLoadBytes),
                                                    plan.weights[i] & 0xF, rowWeight);
        bilinear::StorePixel(out + i * destinationBytesPerPixel, pixel, kStoreBytes);
    }
}

template <int kSourceBytes, int kDestinationBytes>
void BlendColumnsOf(const std::uint8_t* lower, const std::uint8_t* upper, std::uint32_t rowWeight,
                    const BilinearColumnPlan& plan, int first, int columns, std::uint8_t* out) {
    // Up to `wide` both moves may take 4 bytes; the rest take the pixel's own size.
    int wide = kSourceBytes == 4 ? columns : std::min(columns, plan.wideLoadColumns);
    if (kDestinationBytes == 3)
        wide = std::min(wide, columns - 1);
    wide = std::max(wide, first);
    BlendRange<4, 4>(lower, upper, rowWeight, plan, first, wide, out, kDestinationBytes);
    BlendRange<kSourceBytes, kDestinationBytes>(lower, upper, rowWeight, plan, wide, columns, out,
                                                kDestinationBytes);
}

void BlendColumns(const std::uint8_t* lower, const std::uint8_t* upper, std::uint32_t rowWeight,
                  const BilinearColumnPlan& plan, int first, int columns, int sourceBytesPerPixel,
                  std::uint8_t* out, int destinationBytesPerPixel) {
    if (sourceBytesPerPixel == 4 && destinationBytesPerPixel == 4)
        BlendColumnsOf<4, 4>(lower, upper, rowWeight, plan, first, columns, out);
    else if (sourceBytesPerPixel == 4)
        BlendColumnsOf<4, 3>(lower, upper, rowWeight, plan, first, columns, out);
    else if (destinationBytesPerPixel == 4)
        BlendColumnsOf<3, 4>(lower, upper, rowWeight, plan, first, columns, out);
    else
        BlendColumnsOf<3, 3>(lower, upper, rowWeight, plan, first, columns, out);
}

// The portable code as a kernel table: its row kernel leaves every column to the caller.
int LeaveEveryColumn(const std::uint8_t*, const std::uint8_t*, std::uint32_t,
                     const BilinearColumnPlan&, int, int, std::uint8_t*, int) {
    return 0;
}

const BilinearScalerKernels kPortable = {"portable", LeaveEveryColumn};

} // namespace

void ScaleBilinearPixelsWith(const BilinearScalerKernels* kernels, const std::uint8_t* source,
                             int sourceWidth, int sourceRows, int sourceBytesPerPixel,
                             std::uint8_t* destination, int destinationWidth, int destinationRows,
                             int destinationBytesPerPixel) {
    const BilinearColumnPlan columns =
        PlanColumns(sourceWidth, destinationWidth, sourceBytesPerPixel);
    const std::vector<Tap> rows = Taps(sourceRows, destinationRows);
    const std::size_t sourceRowBytes =
        static_cast<std::size_t>(sourceWidth) * static_cast<std::size_t>(sourceBytesPerPixel);
    const std::size_t destinationRowBytes = static_cast<std::size_t>(destinationWidth) *
                                            static_cast<std::size_t>(destinationBytesPerPixel);
    std::uint8_t* out = destination;
    for (const Tap& row : rows) {
        const std::uint8_t* lower = source + row.index * sourceRowBytes;
        const std::uint8_t* upper = source + row.nextIndex * sourceRowBytes;
        int done = 0;
        if (kernels != nullptr)
            done = kernels->scaleRow(lower, upper, row.weight, columns, destinationWidth,
                                     sourceBytesPerPixel, out, destinationBytesPerPixel);
        BlendColumns(lower, upper, row.weight, columns, done, destinationWidth, sourceBytesPerPixel,
                     out, destinationBytesPerPixel);
        out += destinationRowBytes;
    }
}

void ScaleBilinearPixelsPortable(const std::uint8_t* source, int sourceWidth, int sourceRows,
                                 int sourceBytesPerPixel, std::uint8_t* destination,
                                 int destinationWidth, int destinationRows,
                                 int destinationBytesPerPixel) {
    ScaleBilinearPixelsWith(nullptr, source, sourceWidth, sourceRows, sourceBytesPerPixel,
                            destination, destinationWidth, destinationRows,
                            destinationBytesPerPixel);
}

void ScaleBilinearPortable(const std::uint8_t* source, int sourceWidth, int sourceRows,
                           std::uint8_t* destination, int destinationWidth, int destinationRows) {
    ScaleBilinearPixelsPortable(source, sourceWidth, sourceRows, 4, destination, destinationWidth,
                                destinationRows, 4);
}

void ScaleBilinearPixels(const std::uint8_t* source, int sourceWidth, int sourceRows,
                         int sourceBytesPerPixel, std::uint8_t* destination, int destinationWidth,
                         int destinationRows, int destinationBytesPerPixel) {
    ScaleBilinearPixelsWith(SelectedBilinearScalerKernels(), source, sourceWidth, sourceRows,
                            sourceBytesPerPixel, destination, destinationWidth, destinationRows,
                            destinationBytesPerPixel);
}

void ScaleBilinear(const std::uint8_t* source, int sourceWidth, int sourceRows,
                   std::uint8_t* destination, int destinationWidth, int destinationRows) {
    ScaleBilinearPixels(source, sourceWidth, sourceRows, 4, destination, destinationWidth,
                        destinationRows, 4);
}

// SSE2 belongs to every x86-64 processor.
const BilinearScalerKernels* Sse2BilinearScalerKernels() {
    return detail::BuiltSse2BilinearScalerKernels();
}

const BilinearScalerKernels* Avx2BilinearScalerKernels() {
    return cpu::ProcessorRuns(cpu::SimdLevel::Avx2) ? detail::BuiltAvx2BilinearScalerKernels()
                                                    : nullptr;
}

const BilinearScalerKernels* PortableBilinearScalerKernels() {
    return &kPortable;
}

const BilinearScalerKernels* SelectedBilinearScalerKernels() {
    static const BilinearScalerKernels& chosen =
        cpu::ChooseKernel(kPortable, Sse2BilinearScalerKernels(), Avx2BilinearScalerKernels());
    return &chosen;
}

} // namespace fz
