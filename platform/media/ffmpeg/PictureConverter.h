#pragma once

// Converts decoded pictures to the video pin's format: 32-bit RGB (bytes blue, green, red, 255),
// rows of width × 4 bytes, bottom row first, at the size the pin announced (a picture whose size
// changed mid-stream is scaled to it).
//
// Thread-safe: pictures are converted on whichever thread first reads them (the video pin's
// streaming thread inside a downstream filter, or a renderer's thread), one at a time.

#include "platform/media/ffmpeg/FfmpegHandles.h"

#include <cstddef>
#include <cstdint>
#include <mutex>

namespace fz::media::ffmpeg {

class PictureConverter {
public:
    PictureConverter(int width, int height);

    int Width() const { return width_; }
    int Height() const { return height_; }
    // Bytes of one converted picture.
    std::size_t ImageSize() const { return static_cast<std::size_t>(width_) * height_ * 4; }

    // Writes `picture` into `target` (at least ImageSize() bytes). Returns false, leaving the
    // target black, when the picture cannot be converted.
    bool Convert(const AVFrame& picture, std::uint8_t* target, std::size_t size);

private:
    const int width_;
    const int height_;
    std::mutex mutex_;
    ScalerPtr scaler_; // kept for the last source size and format
};

// A decoded picture waiting for its conversion: it keeps a reference to the decoder's picture
// and is converted the first time its bytes are asked for. Most pictures are never asked for
// (the video filter keeps a few per second), so they are never converted.
class LazyPicture {
public:
    LazyPicture() = default;
    LazyPicture(FramePtr picture, std::shared_ptr<PictureConverter> converter)
        : picture_(std::move(picture))
        , converter_(std::move(converter)) {}

    bool Pending() const { return picture_ != nullptr; }
    // Converts into `target` if still pending, then lets the decoder's picture go. Returns
    // false when the conversion failed.
    bool Materialize(std::uint8_t* target, std::size_t size);
    // Drops the pending picture unconverted.
    void Reset() {
        picture_.reset();
        converter_.reset();
    }

private:
    FramePtr picture_;
    std::shared_ptr<PictureConverter> converter_;
};

} // namespace fz::media::ffmpeg
