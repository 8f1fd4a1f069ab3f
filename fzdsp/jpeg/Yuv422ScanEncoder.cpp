#include "fzdsp/jpeg/Yuv422ScanEncoder.h"

#include "fzdsp/jpeg/JpegAnnexKTables.h"
#include "fzdsp/jpeg/Yuv422BitWriter.h"
#include "fzdsp/jpeg/Yuv422BlockCoder.h"
#include "fzdsp/jpeg/Yuv422BlockCoding.h"
#include "fzdsp/jpeg/Yuv422Quantiser.h"
#include "platform/log/Diagnostics.h"

#include <cstddef>

namespace fz {
namespace {

// The three planes in one block of working memory, left uninitialised: the colour conversion
// writes every byte before the scan reads it.
class Planes {
public:
    Planes(std::pmr::memory_resource* memory, std::size_t lumaBytes)
        : m_memory(memory)
        , m_bytes(lumaBytes * 2) {
        m_data = static_cast<std::uint8_t*>(memory->allocate(m_bytes, kAlignment));
    }
    ~Planes() { m_memory->deallocate(m_data, m_bytes, kAlignment); }
    Planes(const Planes&) = delete;
    Planes& operator=(const Planes&) = delete;

    std::uint8_t* Luma() const { return m_data; }
    std::uint8_t* Cb() const { return m_data + m_bytes / 2; }
    std::uint8_t* Cr() const { return m_data + m_bytes / 4 * 3; }

private:
    static constexpr std::size_t kAlignment = 64;
    std::pmr::memory_resource* m_memory;
    std::size_t m_bytes;
    std::uint8_t* m_data;
};

} // namespace

void EncodeYuv422Scan(const Yuv422Kernels& kernels, const std::uint8_t* pixels, int width,
                      int height, int scale, std::pmr::memory_resource* workingMemory,
                      std::pmr::vector<std::uint8_t>& data) {
    const std::size_t lumaStride = static_cast<std::size_t>(width);
    const std::size_t chromaStride = lumaStride / 2;
    const Planes planes(workingMemory, lumaStride * static_cast<std::size_t>(height));
    kernels.convertToYuv422(pixels, width, height, planes.Luma(), planes.Cb(), planes.Cr());

    const QuantMultipliers lumaQuant = PictureMultipliers(scale, QuantTable::kLuminance);
    const QuantMultipliers chromaQuant = PictureMultipliers(scale, QuantTable::kChrominance);
    Yuv422ComponentCodes y{&annexk::kDcLuminanceCodes, &annexk::kAcLuminanceCodes};
    Yuv422ComponentCodes u{&annexk::kDcChrominanceCodes, &annexk::kAcChrominanceCodes};
    Yuv422ComponentCodes v{&annexk::kDcChrominanceCodes, &annexk::kAcChrominanceCodes};

    Yuv422BitWriter bits(data);
    alignas(32) std::int16_t coefficients[64];
    int uncoded = 0;
    for (std::size_t top = 0; top < static_cast<std::size_t>(height); top += 8) {
        const std::uint8_t* lumaRow = planes.Luma() + top * lumaStride;
        const std::uint8_t* cbRow = planes.Cb() + top * chromaStride;
        const std::uint8_t* crRow = planes.Cr() + top * chromaStride;
        // The writer's state stays in registers for the whole MCU row; the room for the four
        // blocks of each MCU is made ahead of them.
        Yuv422BitWriter::Run run(bits);
        const auto code = [&](const std::uint8_t* samples, std::size_t stride,
                              const QuantMultipliers& quant, Yuv422ComponentCodes& component,
                              bool lastBlock) {
            const std::uint64_t nonZero = kernels.transformBlock(
                samples, stride, quant.multiplier.data(), quant.shiftCode, coefficients);
            uncoded += blockcoding::CodeBlock(run, coefficients, nonZero, component, lastBlock);
        };
        for (std::size_t left = 0; left < lumaStride; left += 16) {
            const bool lastMcu =
                top + 8 >= static_cast<std::size_t>(height) && left + 16 >= lumaStride;
            run.Reserve(4 * blockcoding::kMostBytesPerBlock);
            code(lumaRow + left, lumaStride, lumaQuant, y, false);
            code(lumaRow + left + 8, lumaStride, lumaQuant, y, false);
            code(cbRow + left / 2, chromaStride, chromaQuant, u, false);
            code(crRow + left / 2, chromaStride, chromaQuant, v, lastMcu);
            // Values without a code are reported after their MCU; nothing else reaches the
            // diagnostics during the scan.
            for (; uncoded > 0; --uncoded)
                DebugPrint("Error found in Huffman encoding !\n");
        }
    }
    bits.Finish();
}

} // namespace fz
