#include "platform/media/ffmpeg/VideoStreamDecoder.h"

#include "platform/media/ffmpeg/MediaInput.h"

#include <algorithm>

namespace fz::media::ffmpeg {
namespace {

constexpr std::int64_t kShortestFrame = kUnitsPerSecond / 1000; // 1 ms
constexpr std::int64_t kLongestFrame = 10 * kUnitsPerSecond;

std::int64_t NominalFrameDuration(const AVStream& stream) {
    for (const AVRational rate : {stream.avg_frame_rate, stream.r_frame_rate}) {
        if (rate.num > 0 && rate.den > 0) {
            const std::int64_t duration = av_rescale(kUnitsPerSecond, rate.den, rate.num);
            if (duration >= kShortestFrame && duration <= kLongestFrame)
                return duration;
        }
    }
    return kUnitsPerSecond / 25;
}

} // namespace

std::unique_ptr<VideoStreamDecoder>
VideoStreamDecoder::Open(const AVStream& stream, std::int64_t origin, const SourceLimits& limits,
                         PacketQueues& queues, std::size_t lane, std::string* error) {
    CodecContextPtr decoder = OpenDecoder(stream, limits, error);
    if (!decoder)
        return nullptr;
    return std::unique_ptr<VideoStreamDecoder>(
        new VideoStreamDecoder(std::move(decoder), stream, origin, queues, lane));
}

VideoStreamDecoder::VideoStreamDecoder(CodecContextPtr decoder, const AVStream& stream,
                                       std::int64_t origin, PacketQueues& queues, std::size_t lane)
    : decoder_(std::move(decoder))
    , receiver_(*decoder_, queues, lane)
    , timeBase_(stream.time_base)
    , origin_(origin)
    , width_(stream.codecpar->width)
    , height_(stream.codecpar->height)
    , frameDuration_(NominalFrameDuration(stream)) {}

DecodeResult VideoStreamDecoder::Next(DecodedPicture& picture) {
    for (;;) {
        FramePtr frame(av_frame_alloc());
        if (!frame)
            return DecodeResult::End;
        const DecodeResult result = receiver_.Receive(*frame);
        if (result != DecodeResult::Frame)
            return result;
        std::int64_t duration =
            frame->pkt_duration > 0 ? ToUnits(frame->pkt_duration, timeBase_) : frameDuration_;
        if (duration < kShortestFrame || duration > kLongestFrame)
            duration = frameDuration_;
        std::int64_t start = frame->best_effort_timestamp != AV_NOPTS_VALUE
                                 ? ToUnits(frame->best_effort_timestamp, timeBase_) - origin_
                                 : nextStart_;
        // Times only rise: a picture without a usable time follows the one before it.
        if (lastStart_ >= 0 && start <= lastStart_)
            start = nextStart_;
        lastStart_ = start;
        nextStart_ = start + duration;
        if (start + duration <= from_)
            continue; // before the position sought; decoded only to reach it
        picture.frame = std::move(frame);
        picture.start = start;
        picture.stop = start + duration;
        picture.discontinuity = discontinuity_;
        discontinuity_ = false;
        return DecodeResult::Frame;
    }
}

void VideoStreamDecoder::Restart(std::int64_t from) {
    receiver_.Restart();
    from_ = from;
    lastStart_ = -1;
    nextStart_ = from;
    discontinuity_ = true;
}

} // namespace fz::media::ffmpeg
