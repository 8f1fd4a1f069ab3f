// Writes a clip through libavformat and libavcodec: one encoder per stream, frames interleaved
// by time, the encoders drained at the end.
#include "tools/mediagen/ClipGenerator.h"
#include "tools/mediagen/TestPattern.h"

#include <cmath>
#include <memory>
#include <system_error>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/mathematics.h>
}

namespace fz::mediagen {
namespace {

// FFmpeg's encoder for each codec of the kinds table (the table names the decoders).
const char* EncoderName(std::string_view codec) {
    if (codec == "mp3")
        return "libmp3lame";
    if (codec.empty())
        return nullptr;
    return codec.data(); // the table's names are literals, so they end in a zero byte
}

std::int64_t AudioBitRate(std::string_view codec, int channels) {
    if (codec == "ac3")
        return 384000;
    if (codec == "mp2")
        return 192000;
    if (codec.starts_with("pcm"))
        return 0;
    return 64000 * channels;
}

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

struct CodecContextDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FormatContextDeleter {
    void operator()(AVFormatContext* format) const {
        if (format->pb != nullptr && !(format->oformat->flags & AVFMT_NOFILE))
            avio_closep(&format->pb);
        avformat_free_context(format);
    }
};

using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using FormatContextPtr = std::unique_ptr<AVFormatContext, FormatContextDeleter>;

// One encoded stream of the clip.
struct Stream {
    CodecContextPtr encoder;
    AVStream* stream = nullptr;
    FramePtr frame;
    std::int64_t next = 0;  // next picture or sample index
    std::int64_t total = 0; // pictures or samples to write
    bool drained = false;
};

class ClipWriter {
public:
    ClipWriter(const std::filesystem::path& path, const ClipOptions& options)
        : path_(path)
        , options_(options)
        , info_(KindInfo(options.kind)) {}

    bool Write(std::string& error);

private:
    bool Fail(std::string& error, const std::string& what, int code = 0) {
        error = code != 0 ? what + ": " + AvError(code) : what;
        return false;
    }
    bool OpenVideo(std::string& error);
    bool OpenAudio(std::string& error);
    bool EncodeVideoFrame(std::string& error);
    bool EncodeAudioFrame(std::string& error);
    bool Send(Stream& stream, const AVFrame* frame, std::string& error);
    void FillAudio(AVFrame& frame, std::int64_t first, int count);

    std::filesystem::path path_;
    ClipOptions options_;
    const ClipKindInfo& info_;
    FormatContextPtr format_;
    Stream video_;
    Stream audio_;
    PacketPtr packet_{av_packet_alloc()};
    std::int64_t markerFrame_ = -1;
    std::int64_t clickSample_ = -1;
    // AVI stores no time stamps, so an encoder's priming samples (MP3, AC-3) would put the sound
    // late against the pictures. There the encoder is fed the signal this many samples ahead,
    // and its packets start at 0: the decoded sound then matches the pictures sample for sample
    // after the priming.
    std::int64_t audioLead_ = 0;
};

bool ClipWriter::OpenVideo(std::string& error) {
    const AVCodec* codec = avcodec_find_encoder_by_name(EncoderName(info_.videoCodec));
    if (codec == nullptr)
        return Fail(error, "no encoder " + std::string(info_.videoCodec));
    video_.encoder.reset(avcodec_alloc_context3(codec));
    AVCodecContext& c = *video_.encoder;
    c.width = options_.width;
    c.height = options_.height;
    c.time_base = AVRational{options_.frameRateDen, options_.frameRateNum};
    c.framerate = AVRational{options_.frameRateNum, options_.frameRateDen};
    c.pix_fmt = AV_PIX_FMT_YUV420P;
    c.gop_size = options_.keyFrameInterval > 0
                     ? options_.keyFrameInterval
                     : std::max(1, (options_.frameRateNum + options_.frameRateDen / 2) /
                                       options_.frameRateDen);
    c.max_b_frames = 0;
    c.bit_rate =
        options_.videoBitRate > 0
            ? options_.videoBitRate
            : std::max<std::int64_t>(200000, std::int64_t{options_.width} * options_.height *
                                                 options_.frameRateNum / options_.frameRateDen / 3);
    if (info_.videoCodec == "mpeg1video") {
        // The system stream's buffer model needs a declared decoder buffer and peak rate.
        c.rc_max_rate = c.bit_rate * 2;
        c.rc_buffer_size = static_cast<int>(std::min<std::int64_t>(c.bit_rate, 1835008));
    }
    c.thread_count = 1;
    if (format_->oformat->flags & AVFMT_GLOBALHEADER)
        c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (const int code = avcodec_open2(&c, codec, nullptr); code < 0)
        return Fail(error, "cannot open the " + std::string(codec->name) + " encoder", code);
    video_.stream = avformat_new_stream(format_.get(), nullptr);
    if (video_.stream == nullptr)
        return Fail(error, "cannot add a video stream");
    video_.stream->time_base = c.time_base;
    video_.stream->avg_frame_rate = c.framerate;
    avcodec_parameters_from_context(video_.stream->codecpar, &c);
    video_.frame.reset(av_frame_alloc());
    video_.frame->format = c.pix_fmt;
    video_.frame->width = c.width;
    video_.frame->height = c.height;
    if (const int code = av_frame_get_buffer(video_.frame.get(), 0); code < 0)
        return Fail(error, "cannot allocate a picture", code);
    video_.total = FrameCount(options_);
    return true;
}

bool ClipWriter::OpenAudio(std::string& error) {
    const char* name = EncoderName(info_.audioCodec);
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    if (codec == nullptr)
        return Fail(error, "no encoder " + std::string(name));
    audio_.encoder.reset(avcodec_alloc_context3(codec));
    AVCodecContext& c = *audio_.encoder;
    c.sample_rate = info_.sampleRate;
    if (info_.channels == 6)
        c.ch_layout = AV_CHANNEL_LAYOUT_5POINT1;
    else
        av_channel_layout_default(&c.ch_layout, info_.channels);
    c.sample_fmt = AV_SAMPLE_FMT_NONE;
    for (const AVSampleFormat* f = codec->sample_fmts; f && *f != AV_SAMPLE_FMT_NONE; ++f) {
        switch (*f) {
        case AV_SAMPLE_FMT_U8:
        case AV_SAMPLE_FMT_S16:
        case AV_SAMPLE_FMT_S16P:
        case AV_SAMPLE_FMT_S32:
        case AV_SAMPLE_FMT_S32P:
        case AV_SAMPLE_FMT_FLT:
        case AV_SAMPLE_FMT_FLTP:
            c.sample_fmt = *f;
            break;
        default:
            continue;
        }
        break;
    }
    if (c.sample_fmt == AV_SAMPLE_FMT_NONE)
        return Fail(error, "the " + std::string(codec->name) + " encoder takes no known format");
    c.bit_rate = AudioBitRate(info_.audioCodec, info_.channels);
    c.time_base = AVRational{1, info_.sampleRate};
    c.thread_count = 1;
    if (format_->oformat->flags & AVFMT_GLOBALHEADER)
        c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (const int code = avcodec_open2(&c, codec, nullptr); code < 0)
        return Fail(error, "cannot open the " + std::string(codec->name) + " encoder", code);
    audio_.stream = avformat_new_stream(format_.get(), nullptr);
    if (audio_.stream == nullptr)
        return Fail(error, "cannot add a sound stream");
    audio_.stream->time_base = c.time_base;
    avcodec_parameters_from_context(audio_.stream->codecpar, &c);
    const bool anyLength = codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE;
    audio_.frame.reset(av_frame_alloc());
    audio_.frame->format = c.sample_fmt;
    audio_.frame->sample_rate = c.sample_rate;
    av_channel_layout_copy(&audio_.frame->ch_layout, &c.ch_layout);
    audio_.frame->nb_samples = (c.frame_size > 0 && !anyLength) ? c.frame_size : 1024;
    if (const int code = av_frame_get_buffer(audio_.frame.get(), 0); code < 0)
        return Fail(error, "cannot allocate a sound buffer", code);
    audio_.total = std::llround(options_.durationSeconds * info_.sampleRate);
    if (info_.muxer == "avi")
        audioLead_ = c.initial_padding;
    return true;
}

void ClipWriter::FillAudio(AVFrame& frame, std::int64_t first, int count) {
    const int channels = frame.ch_layout.nb_channels;
    const auto format = static_cast<AVSampleFormat>(frame.format);
    const bool planar = av_sample_fmt_is_planar(format);
    for (int i = 0; i < frame.nb_samples; ++i) {
        // Past the end of the clip (the padding of a fixed-size last frame) is silence.
        const float value = i < count
                                ? SoundValue(first + i + audioLead_, info_.sampleRate,
                                             options_.toneHz, options_.toneAmplitude, clickSample_)
                                : 0.0f;
        for (int ch = 0; ch < channels; ++ch) {
            const int plane = planar ? ch : 0;
            const int index = planar ? i : i * channels + ch;
            std::uint8_t* base = frame.extended_data[plane];
            switch (format) {
            case AV_SAMPLE_FMT_U8:
                base[index] = static_cast<std::uint8_t>(std::lround(value * 127.0f) + 128);
                break;
            case AV_SAMPLE_FMT_S16:
            case AV_SAMPLE_FMT_S16P:
                reinterpret_cast<std::int16_t*>(base)[index] =
                    static_cast<std::int16_t>(std::lround(value * 32767.0f));
                break;
            case AV_SAMPLE_FMT_S32:
            case AV_SAMPLE_FMT_S32P:
                reinterpret_cast<std::int32_t*>(base)[index] =
                    static_cast<std::int32_t>(std::lround(value * 2147483520.0));
                break;
            default:
                reinterpret_cast<float*>(base)[index] = value;
                break;
            }
        }
    }
}

bool ClipWriter::Send(Stream& stream, const AVFrame* frame, std::string& error) {
    if (const int code = avcodec_send_frame(stream.encoder.get(), frame); code < 0)
        return Fail(error, "cannot encode", code);
    for (;;) {
        const int code = avcodec_receive_packet(stream.encoder.get(), packet_.get());
        if (code == AVERROR(EAGAIN))
            return true;
        if (code == AVERROR_EOF) {
            stream.drained = true;
            return true;
        }
        if (code < 0)
            return Fail(error, "cannot encode", code);
        if (&stream == &audio_ && audioLead_ > 0) {
            packet_->pts += audioLead_;
            packet_->dts += audioLead_;
        }
        av_packet_rescale_ts(packet_.get(), stream.encoder->time_base, stream.stream->time_base);
        packet_->stream_index = stream.stream->index;
        if (const int written = av_interleaved_write_frame(format_.get(), packet_.get());
            written < 0)
            return Fail(error, "cannot write " + path_.string(), written);
    }
}

bool ClipWriter::EncodeVideoFrame(std::string& error) {
    AVFrame& frame = *video_.frame;
    if (const int code = av_frame_make_writable(&frame); code < 0)
        return Fail(error, "cannot allocate a picture", code);
    DrawPicture(frame, video_.next, video_.next == markerFrame_);
    frame.pts = video_.next;
    ++video_.next;
    return Send(video_, &frame, error);
}

bool ClipWriter::EncodeAudioFrame(std::string& error) {
    AVFrame& frame = *audio_.frame;
    if (const int code = av_frame_make_writable(&frame); code < 0)
        return Fail(error, "cannot allocate a sound buffer", code);
    const auto count =
        static_cast<int>(std::min<std::int64_t>(frame.nb_samples, audio_.total - audio_.next));
    const bool shortLast = audio_.encoder->codec->capabilities &
                           (AV_CODEC_CAP_VARIABLE_FRAME_SIZE | AV_CODEC_CAP_SMALL_LAST_FRAME);
    const int full = frame.nb_samples;
    if (shortLast)
        frame.nb_samples = count;
    FillAudio(frame, audio_.next, count);
    frame.pts = audio_.next;
    audio_.next += count;
    const bool sent = Send(audio_, &frame, error);
    frame.nb_samples = full;
    return sent;
}

bool ClipWriter::Write(std::string& error) {
    const std::string target = path_.string();
    if (options_.width < 16 || options_.height < 16 || options_.width % 2 != 0 ||
        options_.height % 2 != 0 || options_.width > 4096 || options_.height > 4096)
        return Fail(error, "the picture size must be even, 16 to 4096");
    if (options_.frameRateNum <= 0 || options_.frameRateDen <= 0 ||
        options_.frameRateNum > 240 * options_.frameRateDen)
        return Fail(error, "the frame rate must be above 0 and at most 240");
    if (!(options_.durationSeconds > 0.0) || options_.durationSeconds > 24 * 3600.0)
        return Fail(error, "the duration must be above 0 and at most a day");
    if (packet_ == nullptr)
        return Fail(error, "out of memory");
    AVFormatContext* raw = nullptr;
    const std::string muxer(info_.muxer);
    if (const int code =
            avformat_alloc_output_context2(&raw, nullptr, muxer.c_str(), target.c_str());
        code < 0 || raw == nullptr)
        return Fail(error, "no output format " + muxer, code);
    format_.reset(raw);
    if (!info_.videoCodec.empty() && !OpenVideo(error))
        return false;
    if (!info_.audioCodec.empty() && !OpenAudio(error))
        return false;
    markerFrame_ = MarkerFrameIndex(options_);
    if (markerFrame_ >= 0 && audio_.encoder)
        clickSample_ = av_rescale(markerFrame_ * options_.frameRateDen, info_.sampleRate,
                                  options_.frameRateNum);
    if (const int code = avio_open(&format_->pb, target.c_str(), AVIO_FLAG_WRITE); code < 0)
        return Fail(error, "cannot create " + target, code);
    if (const int code = avformat_write_header(format_.get(), nullptr); code < 0)
        return Fail(error, "cannot write the header of " + target, code);
    for (;;) {
        const bool videoLeft = video_.encoder && video_.next < video_.total;
        const bool audioLeft = audio_.encoder && audio_.next < audio_.total;
        if (!videoLeft && !audioLeft)
            break;
        const bool videoFirst =
            videoLeft && (!audioLeft || av_compare_ts(video_.next, video_.encoder->time_base,
                                                      audio_.next, audio_.encoder->time_base) <= 0);
        if (!(videoFirst ? EncodeVideoFrame(error) : EncodeAudioFrame(error)))
            return false;
    }
    for (Stream* stream : {&video_, &audio_})
        if (stream->encoder && !Send(*stream, nullptr, error))
            return false;
    if (const int code = av_write_trailer(format_.get()); code < 0)
        return Fail(error, "cannot finish " + target, code);
    if (const int code = avio_closep(&format_->pb); code < 0)
        return Fail(error, "cannot close " + target, code);
    return true;
}

} // namespace

std::int64_t FrameCount(const ClipOptions& options) {
    if (options.frameRateDen <= 0)
        return 0;
    return std::llround(options.durationSeconds * options.frameRateNum / options.frameRateDen);
}

std::int64_t MarkerFrameIndex(const ClipOptions& options) {
    if (!options.markerSeconds || *options.markerSeconds < 0.0 || options.frameRateDen <= 0)
        return -1;
    const auto index = static_cast<std::int64_t>(
        std::floor(*options.markerSeconds * options.frameRateNum / options.frameRateDen));
    const std::int64_t frames = FrameCount(options);
    return index < frames ? index : -1;
}

bool WriteClip(const std::filesystem::path& path, const ClipOptions& options, std::string* error) {
    std::string why;
    bool written;
    {
        ClipWriter writer(path, options);
        written = writer.Write(why);
    }
    if (!written) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        if (error != nullptr)
            *error = why;
    }
    return written;
}

} // namespace fz::mediagen
