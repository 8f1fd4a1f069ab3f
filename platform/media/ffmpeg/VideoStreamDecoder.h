#pragma once

// Decodes the delivered video stream on the video pin's streaming thread and stamps each
// picture with its position in the source. Pictures stay in the decoder's format (converted
// later, only when read: PictureConverter.h).

#include "platform/media/ffmpeg/DecoderContext.h"
#include "platform/media/ffmpeg/FfmpegHandles.h"

#include <cstdint>
#include <memory>
#include <string>

namespace fz::media::ffmpeg {

struct DecodedPicture {
    FramePtr frame;
    std::int64_t start = 0; // 100-ns units from the source's origin
    std::int64_t stop = 0;
    bool discontinuity = false; // first picture after a start or seek
};

class VideoStreamDecoder {
public:
    // Null with the reason in `error` when the stream's decoder does not open.
    static std::unique_ptr<VideoStreamDecoder> Open(const AVStream& stream, std::int64_t origin,
                                                    const SourceLimits& limits,
                                                    PacketQueues& queues, std::size_t lane,
                                                    std::string* error);

    int Width() const { return width_; }
    int Height() const { return height_; }
    // Nominal time per picture (100-ns units).
    std::int64_t FrameDuration() const { return frameDuration_; }

    // Streaming thread: the next picture, in rising time order, or the end or an abort.
    DecodeResult Next(DecodedPicture& picture);
    // While no thread decodes (after a stop or seek): forgets buffered pictures; pictures that
    // end at or before `from` are decoded but not given out.
    void Restart(std::int64_t from);

private:
    VideoStreamDecoder(CodecContextPtr decoder, const AVStream& stream, std::int64_t origin,
                       PacketQueues& queues, std::size_t lane);

    CodecContextPtr decoder_;
    FrameReceiver receiver_;
    AVRational timeBase_;
    std::int64_t origin_;
    int width_;
    int height_;
    std::int64_t frameDuration_;
    std::int64_t from_ = 0;
    std::int64_t lastStart_ = -1;
    std::int64_t nextStart_ = 0;
    bool discontinuity_ = true;
};

} // namespace fz::media::ffmpeg
