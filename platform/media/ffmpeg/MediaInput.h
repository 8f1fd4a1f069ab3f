#pragma once

// A media file opened with libavformat: its container, the video and sound streams the source
// delivers (the best of each kind that a decoder of this FFmpeg knows, with sane parameters)
// and the position
// that every sample time counts from.
//
// Created and used by one thread at a time: the graph's thread while stopped (open, seek), the
// demuxing thread while running (ReadPacket).

#include "platform/media/ffmpeg/FfmpegHandles.h"
#include "platform/media/ffmpeg/SourceLimits.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace fz::media::ffmpeg {

// Why a file was not opened.
enum class OpenFailure {
    None,
    UnknownType,       // libavformat does not recognise it (not a media file)
    NoDecodableStream, // a media file, but no stream a decoder of this FFmpeg can take
};

class MediaInput {
public:
    // Opens a file. Fails (null, with the reason in `error`) when libavformat cannot identify
    // the file or it holds no stream that a decoder knows.
    static std::unique_ptr<MediaInput> OpenFile(const std::string& path, const SourceLimits& limits,
                                                std::string* error, OpenFailure* failure = nullptr);
    // Opens bytes held by the caller, who keeps them alive and unchanged while the input lives.
    static std::unique_ptr<MediaInput> OpenMemory(std::span<const std::uint8_t> bytes,
                                                  const SourceLimits& limits, std::string* error,
                                                  OpenFailure* failure = nullptr);
    ~MediaInput();
    MediaInput(const MediaInput&) = delete;
    MediaInput& operator=(const MediaInput&) = delete;

    // Index of the delivered video / sound stream, -1 when there is none.
    int VideoStream() const { return video_; }
    int AudioStream() const { return audio_; }
    const AVStream& Stream(int index) const { return *format_->streams[index]; }

    // Start of the container's timeline (100-ns units); sample times are positions from here.
    std::int64_t Origin() const { return origin_; }
    // Length of the source (100-ns units): the container's, else the longest delivered stream's;
    // 0 when neither says.
    std::int64_t Duration() const { return duration_; }

    // Demuxing thread: the next packet of any stream (av_read_frame's result).
    int ReadPacket(AVPacket& packet);
    // While no thread reads: moves to the key frame at or before `position` (100-ns units from
    // the origin). Returns false when the container cannot seek there.
    bool Seek(std::int64_t position);

private:
    struct MemoryReader;
    MediaInput() = default;
    bool Open(const char* url, const SourceLimits& limits, std::string* error,
              OpenFailure* failure);
    void ChooseStreams(const SourceLimits& limits);

    std::unique_ptr<MemoryReader> memory_;
    AVIOContext* io_ = nullptr; // owned when reading memory
    InputFormatPtr format_;
    int video_ = -1;
    int audio_ = -1;
    std::int64_t origin_ = 0;
    std::int64_t duration_ = 0;
};

// Converts a stream time to 100-ns units.
inline std::int64_t ToUnits(std::int64_t timestamp, AVRational timeBase) {
    return av_rescale_q(timestamp, timeBase, AVRational{1, static_cast<int>(kUnitsPerSecond)});
}

} // namespace fz::media::ffmpeg
