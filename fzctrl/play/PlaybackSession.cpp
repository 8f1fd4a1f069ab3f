#include "fzctrl/play/PlaybackSession.h"

#include "fzctrl/convert/AdpcmCodec.h"
#include "fzctrl/play/CMoviePlayer.h"
#include "fzctrl/play/JpegFrameSearch.h"
#include "fzctrl/play/MovieLayout.h"
#include "platform/bytes/LittleEndian.h"
#include "platform/ui/WindowMessages.h"

#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace fz {
namespace {

// A record of the MP3 kind is read only when at least this many bytes of the stream follow it.
constexpr std::uint32_t kMp3RecordWindow = 128;
// A picture of the ADPCM kinds is looked for only while more than this many bytes remain.
constexpr std::uint32_t kVideoSearchWindow = 128;

} // namespace

std::mutex& MpegDecoderLock() {
    static std::mutex lock;
    return lock;
}

std::uint32_t TruncateMs(double milliseconds) {
    if (!(milliseconds >= 0.0))
        return 0;
    if (milliseconds >= 4294967295.0)
        return 0xFFFFFFFFu;
    return static_cast<std::uint32_t>(milliseconds);
}

PlaybackSession::PlaybackSession() {
    for (auto& flag : returned)
        flag = true;
    for (auto& event : events)
        event = std::make_unique<sync::Event>(sync::EventReset::Auto, sync::EventState::Clear);
}

PlaybackSession::~PlaybackSession() {
    if (fileDescriptor >= 0)
        close(fileDescriptor);
}

bool PlaybackSession::FileHolds(std::uint64_t end) const {
    struct stat st {};
    return fstat(fileDescriptor, &st) == 0 && static_cast<std::uint64_t>(st.st_size) >= end;
}

std::uint32_t PlaybackSession::DecodeStep(std::uint8_t* out, std::uint32_t capacity) {
    if (audioKind == kAudioKindAdpcm)
        return AdpcmStep(out, capacity);
    if (audioKind == kAudioKindMp3)
        return Mp3Step(out, capacity);
    return 0;
}

std::uint32_t PlaybackSession::AdpcmStep(std::uint8_t* out, std::uint32_t capacity) {
    std::uint32_t n = stepBytes;
    if (std::uint64_t{capacity} < 4ull * n || audioReadPosition > audioLength)
        return 0;
    n = std::min(n, audioLength - audioReadPosition);
    if (n == 0 || !FileHolds(audioDataOffset + audioReadPosition + n))
        return 0;
    // One interleaved code stream through one predictor, whatever the channel count.
    AdpcmDecode(audioData + audioReadPosition, reinterpret_cast<std::int16_t*>(out),
                static_cast<int>(2 * n), &adpcm);
    audioReadPosition += n;
    currentTime = TruncateMs(static_cast<double>(audioReadPosition) * 2 * 1000.0 /
                             (static_cast<double>(channels) * sampleRate));
    PaceVideo();
    return 4 * n;
}

void PlaybackSession::PaceVideo() {
    while (std::uint64_t{videoReadOffset} + kVideoSearchWindow < videoLength &&
           nextFrameTime < currentTime) {
        FoundFrame frame;
        if (!FileHolds(videoDataOffset + videoLength) ||
            !FindFrame(videoData + videoReadOffset, videoLength - videoReadOffset, frame)) {
            videoReadOffset = videoLength;
            return;
        }
        if (frameCallback)
            frameCallback(videoData + videoReadOffset + frame.start, frame.size);
        videoReadOffset += frame.start + frame.size;
        nextFrameTime = TruncateMs(static_cast<double>(nextFrameTime) + frameDuration);
    }
}

std::uint32_t PlaybackSession::Mp3Step(std::uint8_t* out, std::uint32_t capacity) {
    std::uint32_t total = 0;
    for (std::uint32_t step = 0; step < decodeStepsPerBuffer;) {
        if (total >= capacity || std::uint64_t{audioReadPosition} + kMp3RecordWindow > fileSize)
            return total;
        const std::uint64_t recordOffset = audioDataOffset + audioReadPosition;
        if (!FileHolds(recordOffset + kMp3RecordWindow))
            return 0;
        const std::uint8_t* record = audioData + audioReadPosition;
        const std::uint32_t remaining = fileSize - audioReadPosition;
        if (record[0] == 2) {
            // The picture's byte count is stored in its bytes 14..17; one that claims more than
            // the stream holds ends playback.
            const std::uint32_t count = ReadLe32(record + 19);
            if (std::uint64_t{count} + 5 > remaining || !FileHolds(recordOffset + 5 + count))
                return 0;
            if (frameCallback)
                frameCallback(record + 5, count);
            audioReadPosition += count + 5;
            continue;
        }
        if (record[0] != 1)
            return 0;
        std::lock_guard lock(MpegDecoderLock());
        MpaFrameInfo info{};
        if (MpaGetInfo(record + 1, static_cast<int>(std::min(remaining - 1, 1u << 30)), info,
                       MpaRemember::Yes) == 0)
            return 0;
        const std::int32_t frameBytes =
            info.header.padding ? info.largeFrameSize : info.smallFrameSize;
        const std::int32_t pcmBytes = info.pcmBytesPerFrame;
        if (frameBytes <= 0 || static_cast<std::uint32_t>(frameBytes) > mp3Staging.size() ||
            static_cast<std::uint32_t>(frameBytes) > remaining - 1 || pcmBytes <= 0 ||
            static_cast<std::uint32_t>(pcmBytes) > capacity - total ||
            !FileHolds(recordOffset + 1 + static_cast<std::uint32_t>(frameBytes)))
            return 0;
        std::memcpy(mp3Staging.data(), record + 1, static_cast<std::size_t>(frameBytes));
        MpaDecodeJob job{};
        job.header = info.header;
        job.bitRate = info.bitRate;
        job.frame = mp3Staging.data();
        job.bytesAvailable = frameBytes;
        job.pcm = reinterpret_cast<std::int16_t*>(out + total);
        if (MpaDecodeFrame(job) == 0)
            return 0;
        currentTime = currentTime + mp3MsPerFrame;
        audioReadPosition += static_cast<std::uint32_t>(frameBytes) + 1;
        mp3BytesConsumed += static_cast<std::uint32_t>(frameBytes);
        total += static_cast<std::uint32_t>(pcmBytes);
        ++step;
    }
    return total;
}

void PlaybackSession::WaveOutCallback(audio::HWAVEOUT, std::uint32_t message,
                                      std::uintptr_t instance, std::uintptr_t param1,
                                      std::uintptr_t) {
    if (message != audio::kWomDone || instance == 0 || param1 == 0)
        return;
    auto* session = reinterpret_cast<PlaybackSession*>(instance);
    const std::uintptr_t user = reinterpret_cast<const audio::WaveHeader*>(param1)->user;
    if (user >= kPlaybackBuffers)
        return;
    session->returned[user] = true;
    session->events[user]->Set();
}

void PlaybackSession::AudioThread(std::shared_ptr<PlaybackSession> self) {
    PlaybackSession& s = *self;
    std::array<sync::Event*, kPlaybackBuffers + 1> waits{};
    for (std::size_t i = 0; i < waits.size(); ++i)
        waits[i] = s.events[i].get();
    while (s.quit == 0) {
        const std::uint32_t signalled = sync::WaitForAny(waits, sync::kInfinite);
        if (s.quit != 0)
            break;
        const std::uint32_t index = signalled - sync::kWaitObject0;
        if (index >= kPlaybackBuffers)
            break;
        // A buffer that comes back while the prefill still runs stays marked returned; Start
        // signals it again once playing has begun.
        if (s.state != kPlayerPlaying || !s.returned[index].exchange(false))
            continue;
        audio::WaveHeader& header = s.headers[index];
        {
            std::lock_guard lock(s.deviceLock);
            if (s.quit != 0 || s.device == nullptr)
                break;
            if ((header.flags & audio::kWhdrPrepared) != 0 &&
                audio::WaveOutUnprepareHeader(s.device, &header, sizeof header) !=
                    audio::MMSYSERR_NOERROR)
                break;
        }
        std::uint32_t bytes = 0;
        for (std::uint16_t step = 0; step < s.decodeStepsPerBuffer; ++step)
            bytes = s.DecodeStep(s.scratch.data(), s.bufferSize);
        if (bytes == 0) {
            const ui::WindowHandle window = s.notifyWindow;
            if (window != 0)
                ui::SendMessage(window, kEndOfMovieMessage, 0, 0);
            break;
        }
        std::lock_guard lock(s.deviceLock);
        if (s.quit != 0 || s.device == nullptr)
            break;
        std::memcpy(header.data, s.scratch.data(), bytes);
        header.bufferLength = bytes;
        audio::WaveOutPrepareHeader(s.device, &header, sizeof header);
        audio::WaveOutWrite(s.device, &header, sizeof header);
    }
    s.currentTime = s.totalTime;
    s.events[kAudioThreadEndedEvent]->Set();
    s.quit = 1;
}

} // namespace fz
