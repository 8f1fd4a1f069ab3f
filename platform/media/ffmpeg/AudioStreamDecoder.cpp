#include "platform/media/ffmpeg/AudioStreamDecoder.h"

#include "platform/media/ffmpeg/MediaInput.h"

#include <algorithm>
#include <cstdlib>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace fz::media::ffmpeg {
namespace {

// A time stamp further than this from where the count of samples has got to marks a gap in the
// sound (or a jump), and the times are anchored on it again.
constexpr std::int64_t kGapTolerance = kUnitsPerSecond / 25;

bool IsEightBit(int format) {
    return format == AV_SAMPLE_FMT_U8 || format == AV_SAMPLE_FMT_U8P;
}

} // namespace

std::unique_ptr<AudioStreamDecoder>
AudioStreamDecoder::Open(const AVStream& stream, std::int64_t origin, const SourceLimits& limits,
                         PacketQueues& queues, std::size_t lane, std::string* error) {
    CodecContextPtr decoder = OpenDecoder(stream, limits, error);
    if (!decoder)
        return nullptr;
    std::unique_ptr<AudioStreamDecoder> audio(
        new AudioStreamDecoder(std::move(decoder), stream, origin, queues, lane));
    if (!audio->frame_) {
        if (error != nullptr)
            *error = "out of memory";
        return nullptr;
    }
    return audio;
}

AudioStreamDecoder::AudioStreamDecoder(CodecContextPtr decoder, const AVStream& stream,
                                       std::int64_t origin, PacketQueues& queues, std::size_t lane)
    : decoder_(std::move(decoder))
    , receiver_(*decoder_, queues, lane)
    , timeBase_(stream.time_base)
    , origin_(origin)
    , sampleRate_(stream.codecpar->sample_rate)
    , channels_(stream.codecpar->ch_layout.nb_channels == 1 ? 1 : 2)
    , bits_(IsEightBit(stream.codecpar->format) || IsEightBit(decoder_->sample_fmt) ? 8 : 16) {}

AudioStreamDecoder::~AudioStreamDecoder() {
    av_channel_layout_uninit(&resamplerLayout_);
}

bool AudioStreamDecoder::Convert(const AVFrame& frame, PcmBlock& block) {
    if (frame.nb_samples <= 0 || frame.sample_rate <= 0 || frame.ch_layout.nb_channels <= 0 ||
        frame.ch_layout.nb_channels > 64 || frame.sample_rate > 8 * sampleRate_ + 384000)
        return false;
    const bool sameInput = resampler_ && resamplerRate_ == frame.sample_rate &&
                           resamplerFormat_ == frame.format &&
                           av_channel_layout_compare(&resamplerLayout_, &frame.ch_layout) == 0;
    if (!sameInput) {
        AVChannelLayout in{};
        if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&in, frame.ch_layout.nb_channels);
        else if (av_channel_layout_copy(&in, &frame.ch_layout) < 0)
            return false;
        AVChannelLayout out{};
        av_channel_layout_default(&out, channels_);
        SwrContext* raw = nullptr;
        const AVSampleFormat outFormat = bits_ == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
        int code = swr_alloc_set_opts2(&raw, &out, outFormat, sampleRate_, &in,
                                       static_cast<AVSampleFormat>(frame.format), frame.sample_rate,
                                       0, nullptr);
        resampler_.reset(raw);
        av_channel_layout_uninit(&in);
        av_channel_layout_uninit(&out);
        if (code >= 0)
            code = swr_init(resampler_.get());
        av_channel_layout_uninit(&resamplerLayout_);
        if (code < 0 || av_channel_layout_copy(&resamplerLayout_, &frame.ch_layout) < 0) {
            resampler_.reset();
            return false;
        }
        resamplerRate_ = frame.sample_rate;
        resamplerFormat_ = frame.format;
    }
    const int room = swr_get_out_samples(resampler_.get(), frame.nb_samples);
    if (room <= 0)
        return false;
    block.bytes.resize(static_cast<std::size_t>(room) * BlockAlign());
    std::uint8_t* out = block.bytes.data();
    const int made =
        swr_convert(resampler_.get(), &out, room,
                    const_cast<const std::uint8_t**>(frame.extended_data), frame.nb_samples);
    if (made <= 0)
        return false;
    block.bytes.resize(static_cast<std::size_t>(made) * BlockAlign());
    return true;
}

DecodeResult AudioStreamDecoder::Next(PcmBlock& block) {
    for (;;) {
        const DecodeResult result = receiver_.Receive(*frame_);
        if (result != DecodeResult::Frame)
            return result;
        const std::int64_t stamp = frame_->best_effort_timestamp;
        const bool converted = Convert(*frame_, block);
        av_frame_unref(frame_.get());
        if (!converted)
            continue;
        const auto samples = static_cast<std::int64_t>(block.bytes.size() / BlockAlign());
        const std::int64_t counted =
            anchor_ + av_rescale(sinceAnchor_, kUnitsPerSecond, sampleRate_);
        if (stamp != AV_NOPTS_VALUE) {
            const std::int64_t stamped = ToUnits(stamp, timeBase_) - origin_;
            if (!anchored_ || std::llabs(stamped - counted) > kGapTolerance) {
                anchor_ = stamped;
                sinceAnchor_ = 0;
                anchored_ = true;
            }
        } else if (!anchored_) {
            anchor_ = from_;
            sinceAnchor_ = 0;
            anchored_ = true;
        }
        std::int64_t start = anchor_ + av_rescale(sinceAnchor_, kUnitsPerSecond, sampleRate_);
        sinceAnchor_ += samples;
        const std::int64_t stop = anchor_ + av_rescale(sinceAnchor_, kUnitsPerSecond, sampleRate_);
        if (stop <= from_)
            continue; // before the position sought
        if (start < from_) {
            const std::int64_t skip =
                std::min(samples, av_rescale(from_ - start, sampleRate_, kUnitsPerSecond));
            block.bytes.erase(block.bytes.begin(),
                              block.bytes.begin() +
                                  static_cast<std::ptrdiff_t>(skip * BlockAlign()));
            start = stop - av_rescale(samples - skip, kUnitsPerSecond, sampleRate_);
            if (block.bytes.empty())
                continue;
        }
        block.start = start;
        block.stop = stop;
        block.discontinuity = discontinuity_;
        discontinuity_ = false;
        return DecodeResult::Frame;
    }
}

void AudioStreamDecoder::Restart(std::int64_t from) {
    receiver_.Restart();
    if (resampler_)
        swr_init(resampler_.get()); // drops what it buffered
    from_ = from;
    anchored_ = false;
    anchor_ = 0;
    sinceAnchor_ = 0;
    discontinuity_ = true;
}

} // namespace fz::media::ffmpeg
