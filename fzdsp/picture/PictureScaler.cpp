#include "fzdsp/picture/PictureScaler.h"

#include "fzdsp/picture/BilinearScaler.h"
#include "fzdsp/picture/PictureLimits.h"
#include "fzdsp/picture/PictureRotation.h"

#include <cstddef>
#include <cstring>
#include <new>
#include <optional>
#include <utility>

namespace fz {
namespace {

constexpr std::size_t kHeaderBytes = sizeof(BitmapInfoHeader);

// Resizes without throwing: false when the memory is not there.
bool Resize(std::vector<std::uint8_t>& buffer, std::size_t bytes) {
    try {
        buffer.resize(bytes);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

} // namespace

bool CPictureScaler::SetSource(const BitmapInfoHeader& header, const std::uint8_t* pixels) {
    m_sourcePixels = nullptr;
    if (pixels == nullptr || (header.bitCount != 24 && header.bitCount != 32))
        return false;
    if (!PictureBytes(header.width, header.height, header.bitCount / 8))
        return false;
    m_sourceHeader = header;
    m_sourcePixels = pixels;
    return true;
}

const std::uint8_t* CPictureScaler::Scale(int width, int height) {
    const std::optional<std::size_t> pixelBytes = PictureBytes(width, height, 3);
    if (m_sourcePixels == nullptr || !pixelBytes || !Resize(m_output, kHeaderBytes + *pixelBytes)) {
        m_output.clear();
        return nullptr;
    }
    // Straight from the source's pixels, whatever their size, to the packed 24-bit output: the
    // same values as widening, scaling at 32 bits and packing, without the two copies.
    ScaleBilinearPixels(m_sourcePixels, m_sourceHeader.width, m_sourceHeader.height,
                        m_sourceHeader.bitCount / 8, m_output.data() + kHeaderBytes, width, height,
                        3);

    m_outputHeader = BitmapInfoHeader{};
    m_outputHeader.width = width;
    m_outputHeader.height = height;
    m_outputHeader.bitCount = 24;
    m_outputHeader.sizeImage = static_cast<std::uint32_t>(*pixelBytes);
    std::memcpy(m_output.data(), &m_outputHeader, kHeaderBytes);
    return m_output.data();
}

bool CPictureScaler::Rotate(int angle) {
    if (m_output.empty())
        return false;
    if (!RotatePicture(m_output.data() + kHeaderBytes, m_outputHeader.width, m_outputHeader.height,
                       angle))
        return false;
    if (angle == 90 || angle == 270) {
        std::swap(m_outputHeader.width, m_outputHeader.height);
        std::memcpy(m_output.data(), &m_outputHeader, kHeaderBytes);
    }
    return true;
}

const BitmapInfoHeader* CPictureScaler::OutputHeader() const {
    if (m_output.empty())
        return nullptr;
    return &m_outputHeader;
}

std::uint8_t* CPictureScaler::OutputPixels() {
    return m_output.empty() ? nullptr : m_output.data() + kHeaderBytes;
}

} // namespace fz
