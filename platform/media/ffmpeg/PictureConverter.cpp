#include "platform/media/ffmpeg/PictureConverter.h"

#include <cstring>

namespace fz::media::ffmpeg {

PictureConverter::PictureConverter(int width, int height)
    : width_(width)
    , height_(height) {}

bool PictureConverter::Convert(const AVFrame& picture, std::uint8_t* target, std::size_t size) {
    if (target == nullptr || size < ImageSize())
        return false;
    const std::lock_guard lock(mutex_);
    if (picture.width <= 0 || picture.height <= 0 || picture.data[0] == nullptr) {
        std::memset(target, 0, ImageSize());
        return false;
    }
    // An unscaled planar YUV to RGB conversion takes swscale's vector fast path; the filter
    // only matters when a picture changed size mid-stream.
    scaler_.reset(sws_getCachedContext(scaler_.release(), picture.width, picture.height,
                                       static_cast<AVPixelFormat>(picture.format), width_, height_,
                                       AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!scaler_) {
        std::memset(target, 0, ImageSize());
        return false;
    }
    // Bottom-up: the first output row is the last row of the buffer, and rows go upwards.
    const int stride = width_ * 4;
    std::uint8_t* planes[4] = {target + static_cast<std::size_t>(height_ - 1) * stride, nullptr,
                               nullptr, nullptr};
    int strides[4] = {-stride, 0, 0, 0};
    const int rows = sws_scale(scaler_.get(), picture.data, picture.linesize, 0, picture.height,
                               planes, strides);
    if (rows != height_) {
        std::memset(target, 0, ImageSize());
        return false;
    }
    return true;
}

bool LazyPicture::Materialize(std::uint8_t* target, std::size_t size) {
    if (!Pending())
        return true;
    const bool converted = converter_->Convert(*picture_, target, size);
    Reset();
    return converted;
}

} // namespace fz::media::ffmpeg
