#pragma once

// Opens FFmpeg's decoder for a stream with the source's limits and thread settings, and pulls
// decoded frames from it, feeding it packets from the stream's queue lane.

#include "platform/media/ffmpeg/FfmpegHandles.h"
#include "platform/media/ffmpeg/PacketQueues.h"
#include "platform/media/ffmpeg/SourceLimits.h"

#include <string>

namespace fz::media::ffmpeg {

// FFmpeg's own decoder threads: frame and slice threading, `limits.decoderThreads` threads
// (0: FFmpeg chooses). Null with the reason in `error` when the decoder does not open.
CodecContextPtr OpenDecoder(const AVStream& stream, const SourceLimits& limits, std::string* error);

enum class DecodeResult { Frame, End, Aborted };

// Pulls decoded frames from a decoder on its stream's streaming thread, popping packets of the
// stream's queue lane as the decoder asks for them. A packet the decoder refuses as damaged is
// skipped; the end of the lane drains the decoder.
class FrameReceiver {
public:
    FrameReceiver(AVCodecContext& decoder, PacketQueues& queues, std::size_t lane)
        : decoder_(decoder)
        , queues_(queues)
        , lane_(lane) {}

    DecodeResult Receive(AVFrame& frame);
    // After a seek, while no thread decodes: forgets the decoder's pictures and the drain.
    void Restart();

private:
    AVCodecContext& decoder_;
    PacketQueues& queues_;
    const std::size_t lane_;
    PacketPtr pending_; // a packet the decoder could not take yet
    bool ended_ = false;
};

} // namespace fz::media::ffmpeg
