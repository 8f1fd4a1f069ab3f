#include "platform/media/ffmpeg/DecoderContext.h"

extern "C" {
#include <libavutil/error.h>
}

namespace fz::media::ffmpeg {

CodecContextPtr OpenDecoder(const AVStream& stream, const SourceLimits& limits,
                            std::string* error) {
    const AVCodec* codec = avcodec_find_decoder(stream.codecpar->codec_id);
    CodecContextPtr context(codec != nullptr ? avcodec_alloc_context3(codec) : nullptr);
    if (!context || avcodec_parameters_to_context(context.get(), stream.codecpar) < 0) {
        if (error != nullptr)
            *error = "no decoder for " + std::string(avcodec_get_name(stream.codecpar->codec_id));
        return nullptr;
    }
    context->pkt_timebase = stream.time_base;
    context->thread_count = limits.decoderThreads;
    context->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
    context->max_pixels = limits.maxPictureArea;
    if (const int code = avcodec_open2(context.get(), codec, nullptr); code < 0) {
        if (error != nullptr) {
            char text[AV_ERROR_MAX_STRING_SIZE] = {};
            av_strerror(code, text, sizeof text);
            *error = "cannot open the " + std::string(codec->name) + " decoder: " + text;
        }
        return nullptr;
    }
    return context;
}

DecodeResult FrameReceiver::Receive(AVFrame& frame) {
    for (;;) {
        const int received = avcodec_receive_frame(&decoder_, &frame);
        if (received >= 0)
            return DecodeResult::Frame;
        if (received == AVERROR_EOF || (ended_ && received != AVERROR(EAGAIN)))
            return DecodeResult::End;
        // EAGAIN, or a damaged frame reported: the decoder wants more input.
        if (ended_)
            return DecodeResult::End;
        if (!pending_) {
            switch (queues_.Pop(lane_, pending_)) {
            case PacketQueues::PopResult::Aborted:
                return DecodeResult::Aborted;
            case PacketQueues::PopResult::End:
                ended_ = true;
                avcodec_send_packet(&decoder_, nullptr);
                continue;
            case PacketQueues::PopResult::Packet:
                break;
            }
        }
        const int sent = avcodec_send_packet(&decoder_, pending_.get());
        // Taken, or refused as damaged and skipped; kept only while the decoder holds frames
        // that it has not given out yet.
        if (sent != AVERROR(EAGAIN) || received == AVERROR(EAGAIN))
            pending_.reset();
    }
}

void FrameReceiver::Restart() {
    avcodec_flush_buffers(&decoder_);
    pending_.reset();
    ended_ = false;
}

} // namespace fz::media::ffmpeg
