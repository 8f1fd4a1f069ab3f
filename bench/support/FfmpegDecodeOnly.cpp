#include "bench/support/FfmpegDecodeOnly.h"

#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace fz::bench {

DecodeCounts DecodeOnly(const std::string& path) {
    DecodeCounts counts;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0)
        return counts;
    avformat_find_stream_info(format, nullptr);
    std::vector<AVCodecContext*> decoders(format->nb_streams, nullptr);
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVCodecParameters* par = format->streams[i]->codecpar;
        const AVCodec* codec = avcodec_find_decoder(par->codec_id);
        if (!codec ||
            (par->codec_type != AVMEDIA_TYPE_VIDEO && par->codec_type != AVMEDIA_TYPE_AUDIO))
            continue;
        AVCodecContext* decoder = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(decoder, par);
        decoder->pkt_timebase = format->streams[i]->time_base;
        decoder->thread_count = 0;
        decoder->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
        avcodec_open2(decoder, codec, nullptr);
        decoders[i] = decoder;
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto drain = [&](AVCodecContext* decoder) {
        while (avcodec_receive_frame(decoder, frame) >= 0) {
            (decoder->codec_type == AVMEDIA_TYPE_VIDEO ? counts.pictures : counts.soundFrames)++;
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        AVCodecContext* decoder = decoders[static_cast<unsigned>(packet->stream_index)];
        if (decoder && avcodec_send_packet(decoder, packet) >= 0)
            drain(decoder);
        av_packet_unref(packet);
    }
    for (AVCodecContext* decoder : decoders) {
        if (decoder) {
            avcodec_send_packet(decoder, nullptr);
            drain(decoder);
            avcodec_free_context(&decoder);
        }
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avformat_close_input(&format);
    return counts;
}

} // namespace fz::bench
