#include "fzdsp/picture/PictureScaler.h"

#include "fzdsp/picture/BilinearScaler.h"
#include "fzdsp/picture/PictureCopy.h"
#include "fzdsp/picture/PictureRotation.h"

#include <cstddef>
#include <cstring>
#include <new>
#include <utility>

namespace fz {
namespace {

constexpr std::size_t kHeaderBytes = sizeof(BitmapInfoHeader);

std::size_t PixelCount(int width, int height) {
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
}

} // namespace

bool CPictureScaler::SetSource(const BitmapInfoHeader& header, const std::uint8_t* pixels) {
    m_sourcePixels = nullptr;
    if (pixels == nullptr || header.width < 1 || header.height < 1)
        return false;
    if (header.bitCount != 24 && header.bitCount != 32)
        return false;
    const std::size_t width = static_cast<std::size_t>(header.width);
    if (header.bitCount == 24) {
        try {
            m_source32.resize(PixelCount(header.width, header.height) * 4);
        } catch (const std::bad_alloc&) {
            return false;
        }
        UnpackRgb24To32(m_source32.data(), width * 4, pixels, width * 3, header.width,
                        header.height);
    }
    m_sourceHeader = header;
    m_sourcePixels = pixels;
    return true;
}

const std::uint8_t* CPictureScaler::Scale(int width, int height) {
    if (m_sourcePixels == nullptr || width < 1 || height < 1)
        return nullptr;
    const std::size_t pixelBytes = PixelCount(width, height) * 3;
    try {
        m_scaled32.resize(PixelCount(width, height) * 4);
        m_output.resize(kHeaderBytes + pixelBytes);
    } catch (const std::bad_alloc&) {
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
