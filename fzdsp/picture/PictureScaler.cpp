#include "fzdsp/picture/PictureScaler.h"

#include "fzdsp/picture/BilinearScaler.h"
#include "fzdsp/picture/PictureCopy.h"
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
    // The 32-bit form is what the scaler reads, whatever the depth.
    const std::optional<std::size_t> bytes32 = PictureBytes(header.width, header.height, 4);
    if (!bytes32)
        return false;
    const std::size_t width = static_cast<std::size_t>(header.width);
    if (header.bitCount == 24) {
        if (!Resize(m_source32, *bytes32))
            return false;
        UnpackRgb24To32(m_source32.data(), width * 4, pixels, width * 3, header.width,
                        header.height);
    }
    m_sourceHeader = header;
    m_sourcePixels = pixels;
    return true;
}

const std::uint8_t* CPictureScaler::Scale(int width, int height) {
    const std::optional<std::size_t> bytes32 = PictureBytes(width, height, 4);
    if (m_sourcePixels == nullptr || !bytes32) {
        m_output.clear();
        return nullptr;
    }
    const std::size_t pixelBytes = *bytes32 / 4 * 3;
    if (!Resize(m_scaled32, *bytes32) || !Resize(m_output, kHeaderBytes + pixelBytes)) {
        m_output.clear();
        return nullptr;
    }
    const std::uint8_t* source32 =
        m_sourceHeader.bitCount == 24 ? m_source32.data() : m_sourcePixels;
    ScaleBilinear(source32, m_sourceHeader.width, m_sourceHeader.height, m_scaled32.data(), width,
                  height);

    m_outputHeader = BitmapInfoHeader{};
    m_outputHeader.width = width;
    m_outputHeader.height = height;
    m_outputHeader.bitCount = 24;
    m_outputHeader.sizeImage = static_cast<std::uint32_t>(pixelBytes);
    std::memcpy(m_output.data(), &m_outputHeader, kHeaderBytes);
    PackRgb32To24(m_output.data() + kHeaderBytes, static_cast<std::size_t>(width) * 3,
                  m_scaled32.data(), static_cast<std::size_t>(width) * 4, width, height);
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
