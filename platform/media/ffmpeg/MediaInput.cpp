#include "platform/media/ffmpeg/MediaInput.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace fz::media::ffmpeg {
namespace {

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// Parameters that the decoders and the pins can work with; anything else is not delivered.
bool Deliverable(const AVStream& stream, const SourceLimits& limits) {
    const AVCodecParameters& par = *stream.codecpar;
    if (par.codec_id == AV_CODEC_ID_NONE || avcodec_find_decoder(par.codec_id) == nullptr)
        return false;
    if (stream.disposition & AV_DISPOSITION_ATTACHED_PIC)
        return false;
    if (par.codec_type == AVMEDIA_TYPE_VIDEO)
        return par.width > 0 && par.height > 0 && par.width <= limits.maxPictureSide &&
               par.height <= limits.maxPictureSide &&
               std::int64_t{par.width} * par.height <= limits.maxPictureArea;
    if (par.codec_type == AVMEDIA_TYPE_AUDIO)
        return par.sample_rate > 0 && par.sample_rate <= limits.maxSampleRate &&
               par.ch_layout.nb_channels > 0 && par.ch_layout.nb_channels <= 64;
    return false;
}

} // namespace

// Reads the caller's bytes through an AVIOContext, so a file held in memory (the fuzzer's
// input) is read with every offset checked against its real size.
struct MediaInput::MemoryReader {
    std::span<const std::uint8_t> bytes;
    std::size_t position = 0;

    static int Read(void* opaque, std::uint8_t* buffer, int size) {
        auto& self = *static_cast<MemoryReader*>(opaque);
        if (size <= 0)
            return 0;
        const std::size_t left = self.bytes.size() - self.position;
        if (left == 0)
            return AVERROR_EOF;
        const std::size_t count = std::min(left, static_cast<std::size_t>(size));
        std::memcpy(buffer, self.bytes.data() + self.position, count);
        self.position += count;
        return static_cast<int>(count);
    }

    static std::int64_t Seek(void* opaque, std::int64_t offset, int whence) {
        auto& self = *static_cast<MemoryReader*>(opaque);
        const auto size = static_cast<std::int64_t>(self.bytes.size());
        std::int64_t target;
        switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE:
            return size;
        case SEEK_SET:
            target = offset;
            break;
        case SEEK_CUR:
            target = static_cast<std::int64_t>(self.position) + offset;
            break;
        case SEEK_END:
            target = size + offset;
            break;
        default:
            return AVERROR(EINVAL);
        }
        if (target < 0 || target > size)
            return AVERROR(EINVAL);
        self.position = static_cast<std::size_t>(target);
        return target;
    }
};

MediaInput::~MediaInput() {
    format_.reset();
    if (io_ != nullptr) {
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
}

std::unique_ptr<MediaInput> MediaInput::OpenFile(const std::string& path,
                                                 const SourceLimits& limits, std::string* error,
                                                 OpenFailure* failure) {
    std::unique_ptr<MediaInput> input(new MediaInput);
    if (!input->Open(path.c_str(), limits, error, failure))
        return nullptr;
    return input;
}

std::unique_ptr<MediaInput> MediaInput::OpenMemory(std::span<const std::uint8_t> bytes,
                                                   const SourceLimits& limits, std::string* error,
                                                   OpenFailure* failure) {
    std::unique_ptr<MediaInput> input(new MediaInput);
    input->memory_ = std::make_unique<MemoryReader>(MemoryReader{bytes, 0});
    constexpr int kBufferSize = 32768;
    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kBufferSize));
    if (buffer != nullptr)
        input->io_ = avio_alloc_context(buffer, kBufferSize, 0, input->memory_.get(),
                                        &MemoryReader::Read, nullptr, &MemoryReader::Seek);
    if (input->io_ == nullptr) {
        av_free(buffer);
        if (error != nullptr)
            *error = "out of memory";
        if (failure != nullptr)
            *failure = OpenFailure::UnknownType;
        return nullptr;
    }
    if (!input->Open(nullptr, limits, error, failure))
        return nullptr;
    return input;
}

bool MediaInput::Open(const char* url, const SourceLimits& limits, std::string* error,
                      OpenFailure* failure) {
    auto fail = [&](const std::string& why, OpenFailure kind = OpenFailure::NoDecodableStream) {
        if (error != nullptr)
            *error = why;
        if (failure != nullptr)
            *failure = kind;
        return false;
    };
    AVFormatContext* raw = avformat_alloc_context();
    if (raw == nullptr)
        return fail("out of memory", OpenFailure::UnknownType);
    raw->probesize = std::max<std::int64_t>(32, limits.probeBytes);
    raw->max_analyze_duration = limits.analyzeMicroseconds;
    raw->max_streams = limits.maxStreams;
    if (io_ != nullptr) {
        raw->pb = io_;
        raw->flags |= AVFMT_FLAG_CUSTOM_IO;
    }
    // On failure avformat_open_input frees the context itself.
    if (const int code = avformat_open_input(&raw, url, nullptr, nullptr); code < 0)
        return fail("not a media file FFmpeg knows: " + AvError(code), OpenFailure::UnknownType);
    format_.reset(raw);
    if (const int code = avformat_find_stream_info(format_.get(), nullptr); code < 0)
        return fail("cannot read the streams: " + AvError(code));
    ChooseStreams(limits);
    if (video_ < 0 && audio_ < 0)
        return fail("no stream that can be decoded");

    const AVFormatContext& f = *format_;
    origin_ = f.start_time != AV_NOPTS_VALUE ? std::max<std::int64_t>(0, f.start_time) * 10 : 0;
    if (f.duration != AV_NOPTS_VALUE && f.duration > 0) {
        duration_ = f.duration * 10;
    } else {
        for (const int index : {video_, audio_}) {
            if (index < 0)
                continue;
            const AVStream& stream = *f.streams[index];
            if (stream.duration != AV_NOPTS_VALUE && stream.duration > 0) {
                std::int64_t end = ToUnits(stream.duration, stream.time_base);
                if (stream.start_time != AV_NOPTS_VALUE)
                    end += ToUnits(stream.start_time, stream.time_base) - origin_;
                duration_ = std::max(duration_, end);
            }
        }
    }
    return true;
}

void MediaInput::ChooseStreams(const SourceLimits& limits) {
    for (const AVMediaType type : {AVMEDIA_TYPE_VIDEO, AVMEDIA_TYPE_AUDIO}) {
        int chosen = av_find_best_stream(format_.get(), type, -1, -1, nullptr, 0);
        if (chosen < 0 || !Deliverable(*format_->streams[chosen], limits)) {
            chosen = -1;
            for (unsigned i = 0; i < format_->nb_streams; ++i) {
                if (format_->streams[i]->codecpar->codec_type == type &&
                    Deliverable(*format_->streams[i], limits)) {
                    chosen = static_cast<int>(i);
                    break;
                }
            }
        }
        (type == AVMEDIA_TYPE_VIDEO ? video_ : audio_) = chosen;
    }
    // Packets of the streams nobody delivers are dropped by the demuxer itself.
    for (unsigned i = 0; i < format_->nb_streams; ++i)
        if (static_cast<int>(i) != video_ && static_cast<int>(i) != audio_)
            format_->streams[i]->discard = AVDISCARD_ALL;
}

int MediaInput::ReadPacket(AVPacket& packet) {
    return av_read_frame(format_.get(), &packet);
}

bool MediaInput::Seek(std::int64_t position) {
    const std::int64_t target = (std::max<std::int64_t>(0, position) + origin_) / 10;
    if (av_seek_frame(format_.get(), -1, target, AVSEEK_FLAG_BACKWARD) >= 0)
        return true;
    // Some containers only seek forward from a key frame; any position before the target will
    // do, since the decoders drop what ends before it.
    return avformat_seek_file(format_.get(), -1, INT64_MIN, target, target, 0) >= 0;
}

} // namespace fz::media::ffmpeg
