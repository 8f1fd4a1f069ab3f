#pragma once

// The FFmpeg source's engine, apart from the filter and its pins: a media file, its demuxing
// thread, the bounded packet queues and the two stream decoders.
//
// Threads:
//   - the graph's thread opens, starts, stops and seeks (Start, Stop, Seek, SetDelivered);
//   - the demuxing thread (started by Start, joined by Stop) reads packets into the queues and
//     waits while the lane it feeds is full;
//   - the video pin's streaming thread calls NextPicture, the audio pin's NextSound; each
//     decodes its own stream, so sound and pictures decode in parallel;
//   - Abort, from any thread, wakes every wait so the streaming threads can be joined.
// Stop order: Abort, join the streaming threads, Stop.

#include "platform/media/ffmpeg/AudioStreamDecoder.h"
#include "platform/media/ffmpeg/MediaInput.h"
#include "platform/media/ffmpeg/PacketQueues.h"
#include "platform/media/ffmpeg/PictureConverter.h"
#include "platform/media/ffmpeg/VideoStreamDecoder.h"

#include <atomic>
#include <memory>
#include <span>
#include <string>
#include <thread>

namespace fz::media::ffmpeg {

class MediaReader {
public:
    // Opens the file and the decoders of its delivered streams. Null, with the reason in
    // `error`, when the file cannot be opened or no stream has a decoder that opens.
    static std::unique_ptr<MediaReader> OpenFile(const std::string& path,
                                                 const SourceLimits& limits, std::string* error,
                                                 OpenFailure* failure = nullptr);
    // The same over bytes that the caller keeps alive while the reader lives.
    static std::unique_ptr<MediaReader> OpenMemory(std::span<const std::uint8_t> bytes,
                                                   const SourceLimits& limits, std::string* error,
                                                   OpenFailure* failure = nullptr);
    ~MediaReader();
    MediaReader(const MediaReader&) = delete;
    MediaReader& operator=(const MediaReader&) = delete;

    bool HasVideo() const { return video_ != nullptr; }
    bool HasAudio() const { return audio_ != nullptr; }
    // The stream decoders (null without that stream); their formats describe the pins.
    const VideoStreamDecoder* Video() const { return video_.get(); }
    const AudioStreamDecoder* Audio() const { return audio_.get(); }
    // The converter of this source's pictures (null without video).
    const std::shared_ptr<PictureConverter>& Converter() const { return converter_; }
    // Length of the source, 100-ns units (0 when unknown).
    std::int64_t Duration() const { return input_->Duration(); }

    // Graph thread, while stopped: which streams are read. A stream that is not delivered (its
    // pin is not connected) is neither queued nor decoded. Both are delivered at first.
    void SetDelivered(bool video, bool audio);
    // Graph thread, while stopped: starts the demuxing thread at the current position.
    void Start();
    // Any thread: wakes every wait; NextPicture and NextSound return Aborted until Start.
    void Abort();
    // Graph thread, after Abort and after the streaming threads have returned: joins the
    // demuxing thread and drops the queued packets. The next Start resumes at the earliest
    // time not yet given out.
    void Stop();
    // Graph thread, while stopped: the next Start delivers from `position` (100-ns units from
    // the start of the source; what lies before it is decoded but not given out). Returns false
    // when the container cannot seek.
    bool Seek(std::int64_t position);
    bool Running() const { return demuxer_.joinable(); }
    // Where the next Start begins delivering (100-ns units), or began when running.
    std::int64_t StartPosition() const { return startPosition_; }

    // Video pin's streaming thread.
    DecodeResult NextPicture(DecodedPicture& picture);
    // Audio pin's streaming thread.
    DecodeResult NextSound(PcmBlock& block);

private:
    static constexpr std::size_t kVideoLane = 0;
    static constexpr std::size_t kAudioLane = 1;

    MediaReader(std::unique_ptr<MediaInput> input, const SourceLimits& limits);
    bool OpenDecoders(std::string* error, OpenFailure* failure);
    void Demux();

    const SourceLimits limits_;
    std::unique_ptr<MediaInput> input_;
    PacketQueues queues_;
    std::unique_ptr<VideoStreamDecoder> video_;
    std::unique_ptr<AudioStreamDecoder> audio_;
    std::shared_ptr<PictureConverter> converter_;
    bool deliverVideo_ = true;
    bool deliverAudio_ = true;
    std::thread demuxer_;
    std::atomic<bool> aborted_{false};
    // Where the next Start begins when it must seek first (after a Stop).
    bool resumeBySeek_ = false;
    std::int64_t startPosition_ = 0;
    std::atomic<std::int64_t> videoGivenUpTo_{-1};
    std::atomic<std::int64_t> audioGivenUpTo_{-1};
};

} // namespace fz::media::ffmpeg
