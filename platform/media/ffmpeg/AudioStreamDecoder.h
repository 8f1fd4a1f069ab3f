#pragma once

// Decodes the delivered sound stream on the audio pin's streaming thread into the pin's PCM:
// interleaved, at the source's rate, 8 bits for 8-bit sources and 16 bits otherwise, mono kept
// mono and everything else mixed to stereo (libswresample). Each block is stamped with its
// position in the source; times run on from the sample count and are re-anchored on the
// stream's time stamps only across a gap, so blocks join without jitter.

#include "platform/media/ffmpeg/DecoderContext.h"
#include "platform/media/ffmpeg/FfmpegHandles.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace fz::media::ffmpeg {

struct PcmBlock {
    std::vector<std::uint8_t> bytes; // whole sample frames
    std::int64_t start = 0;          // 100-ns units from the source's origin
    std::int64_t stop = 0;
    bool discontinuity = false; // first block after a start or seek
};

class AudioStreamDecoder {
public:
    static std::unique_ptr<AudioStreamDecoder> Open(const AVStream& stream, std::int64_t origin,
                                                    const SourceLimits& limits,
                                                    PacketQueues& queues, std::size_t lane,
                                                    std::string* error);
    ~AudioStreamDecoder();

    int SampleRate() const { return sampleRate_; }
    int Channels() const { return channels_; }
    int BitsPerSample() const { return bits_; }
    int BlockAlign() const { return channels_ * bits_ / 8; }

    // Streaming thread: the next block of PCM (never empty), or the end or an abort.
    DecodeResult Next(PcmBlock& block);
    // While no thread decodes: forgets buffered sound; sound before `from` is dropped.
    void Restart(std::int64_t from);

private:
    AudioStreamDecoder(CodecContextPtr decoder, const AVStream& stream, std::int64_t origin,
                       PacketQueues& queues, std::size_t lane);
    bool Convert(const AVFrame& frame, PcmBlock& block);

    CodecContextPtr decoder_;
    FrameReceiver receiver_;
    FramePtr frame_{av_frame_alloc()};
    AVRational timeBase_;
    std::int64_t origin_;
    int sampleRate_;
    int channels_;
    int bits_;
    ResamplerPtr resampler_;
    AVChannelLayout resamplerLayout_{}; // the input the resampler was set up for
    int resamplerRate_ = 0;
    int resamplerFormat_ = -1;
    std::int64_t from_ = 0;
    bool anchored_ = false;
    std::int64_t anchor_ = 0;      // time of the anchor sample
    std::int64_t sinceAnchor_ = 0; // samples given out since the anchor
    bool discontinuity_ = true;
};

} // namespace fz::media::ffmpeg
