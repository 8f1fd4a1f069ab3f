#include "platform/media/ffmpeg/MediaReader.h"

#include <algorithm>
#include <chrono>

namespace fz::media::ffmpeg {

MediaReader::MediaReader(std::unique_ptr<MediaInput> input, const SourceLimits& limits)
    : limits_(limits)
    , input_(std::move(input))
    , queues_(2, limits.queues) {}

MediaReader::~MediaReader() {
    Abort();
    Stop();
}

std::unique_ptr<MediaReader> MediaReader::OpenFile(const std::string& path,
                                                   const SourceLimits& limits, std::string* error,
                                                   OpenFailure* failure) {
    std::unique_ptr<MediaInput> input = MediaInput::OpenFile(path, limits, error, failure);
    if (!input)
        return nullptr;
    std::unique_ptr<MediaReader> reader(new MediaReader(std::move(input), limits));
    return reader->OpenDecoders(error, failure) ? std::move(reader) : nullptr;
}

std::unique_ptr<MediaReader> MediaReader::OpenMemory(std::span<const std::uint8_t> bytes,
                                                     const SourceLimits& limits, std::string* error,
                                                     OpenFailure* failure) {
    std::unique_ptr<MediaInput> input = MediaInput::OpenMemory(bytes, limits, error, failure);
    if (!input)
        return nullptr;
    std::unique_ptr<MediaReader> reader(new MediaReader(std::move(input), limits));
    return reader->OpenDecoders(error, failure) ? std::move(reader) : nullptr;
}

bool MediaReader::OpenDecoders(std::string* error, OpenFailure* failure) {
    std::string videoError;
    std::string audioError;
    if (input_->VideoStream() >= 0) {
        video_ = VideoStreamDecoder::Open(input_->Stream(input_->VideoStream()), input_->Origin(),
                                          limits_, queues_, kVideoLane, &videoError);
        if (video_)
            converter_ = std::make_shared<PictureConverter>(video_->Width(), video_->Height());
    }
    if (input_->AudioStream() >= 0)
        audio_ = AudioStreamDecoder::Open(input_->Stream(input_->AudioStream()), input_->Origin(),
                                          limits_, queues_, kAudioLane, &audioError);
    if (video_ || audio_)
        return true;
    if (error != nullptr)
        *error = !videoError.empty() ? videoError : audioError;
    if (failure != nullptr)
        *failure = OpenFailure::NoDecodableStream;
    return false;
}

void MediaReader::SetDelivered(bool video, bool audio) {
    deliverVideo_ = video && video_;
    deliverAudio_ = audio && audio_;
}

void MediaReader::Start() {
    if (demuxer_.joinable())
        return;
    if (resumeBySeek_) {
        resumeBySeek_ = false;
        Seek(startPosition_);
    }
    queues_.Reset();
    aborted_ = false;
    videoGivenUpTo_ = -1;
    audioGivenUpTo_ = -1;
    // A lane nobody reads counts as ended, so it never holds the others back.
    if (!deliverVideo_)
        queues_.PushEnd(kVideoLane);
    if (!deliverAudio_)
        queues_.PushEnd(kAudioLane);
    demuxer_ = std::thread([this] { Demux(); });
}

void MediaReader::Abort() {
    aborted_ = true;
    queues_.Abort();
}

void MediaReader::Stop() {
    if (!demuxer_.joinable())
        return;
    aborted_ = true;
    queues_.Abort();
    demuxer_.join();
    queues_.Reset();
    // Queued packets are gone: the next start goes back to the earliest time not given out.
    std::int64_t resume = -1;
    for (const auto* given :
         {deliverVideo_ ? &videoGivenUpTo_ : nullptr, deliverAudio_ ? &audioGivenUpTo_ : nullptr}) {
        if (given == nullptr)
            continue;
        const std::int64_t upTo = given->load() < 0 ? startPosition_ : given->load();
        resume = resume < 0 ? upTo : std::min(resume, upTo);
    }
    startPosition_ = std::max<std::int64_t>(0, resume);
    resumeBySeek_ = true;
}

bool MediaReader::Seek(std::int64_t position) {
    if (demuxer_.joinable())
        return false;
    position = std::max<std::int64_t>(0, position);
    const bool sought = input_->Seek(position);
    if (!sought)
        return false;
    if (video_)
        video_->Restart(position);
    if (audio_)
        audio_->Restart(position);
    startPosition_ = position;
    resumeBySeek_ = false;
    return true;
}

void MediaReader::Demux() {
    const int videoIndex = deliverVideo_ ? input_->VideoStream() : -1;
    const int audioIndex = deliverAudio_ ? input_->AudioStream() : -1;
    std::int64_t packets = 0;
    int retries = 0;
    while (!aborted_) {
        PacketPtr packet(av_packet_alloc());
        if (!packet)
            break;
        const int read = input_->ReadPacket(*packet);
        if (read == AVERROR(EAGAIN) && ++retries < 1000) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        if (read < 0)
            break; // the end of the file, or a read error: what was read is delivered
        retries = 0;
        std::size_t lane;
        if (packet->stream_index == videoIndex)
            lane = kVideoLane;
        else if (packet->stream_index == audioIndex)
            lane = kAudioLane;
        else
            continue;
        if (!queues_.Push(lane, std::move(packet)))
            return;
        if (limits_.maxPackets > 0 && ++packets >= limits_.maxPackets)
            break;
    }
    queues_.PushEnd(kVideoLane);
    queues_.PushEnd(kAudioLane);
}

DecodeResult MediaReader::NextPicture(DecodedPicture& picture) {
    if (!video_ || aborted_)
        return DecodeResult::Aborted;
    const DecodeResult result = video_->Next(picture);
    if (result == DecodeResult::Frame)
        videoGivenUpTo_ = picture.stop;
    return result;
}

DecodeResult MediaReader::NextSound(PcmBlock& block) {
    if (!audio_ || aborted_)
        return DecodeResult::Aborted;
    const DecodeResult result = audio_->Next(block);
    if (result == DecodeResult::Frame)
        audioGivenUpTo_ = block.stop;
    return result;
}

} // namespace fz::media::ffmpeg
