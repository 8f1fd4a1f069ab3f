#pragma once

#include "fzctrl/convert/AdpcmState.h"
#include "fzctrl/convert/CMemoryMapper.h"
#include "fzctrl/play/mpa/MpaDecoder.h"
#include "platform/audio/WaveOut.h"
#include "platform/sync/Event.h"
#include "platform/ui/Window.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace fz {

// Receives each JPEG frame of the playing movie: the frame's bytes (inside the movie's mapping,
// valid during the call) and their count.
using MovieFrameCallback = std::function<void(const std::uint8_t* jpeg, std::uint32_t size)>;

inline constexpr int kPlaybackBuffers = 8;
inline constexpr int kAudioThreadEndedEvent = 8;

enum PlayerState : int { kPlayerClosed = 0, kPlayerOpen = 1, kPlayerPlaying = 2 };

// Everything of one open movie that the audio thread uses: the mapping, the movie's layout, the
// decoder state, the play clock, the sound buffers, the events and the device. The player and
// the audio thread share it (std::shared_ptr); whichever lets go last frees it, so a Stop that
// gives up waiting for the thread never frees what the thread may still touch (it may be inside
// the frame callback or the synchronous end-of-movie message).
//
// Threads: the control's thread (open, prefill, stop, close), the audio thread (decode steps),
// the device's thread (the callback, which only marks a buffer returned and signals its event).
// Fields written by one thread and read by another are atomic; the device is used under
// `deviceLock` by the control's thread and the audio thread alike.
struct PlaybackSession {
    // The movie.
    CMemoryMapper mapper;
    int fileDescriptor = -1;    // for the size check before each region is read; owned
    std::uint32_t fileSize = 0; // KQFF MP3 kind: the record stream's size
    std::uint32_t audioKind = 0;
    const std::uint8_t* audioData = nullptr; // ADPCM data, or the MP3 kind's record stream
    std::uint64_t audioDataOffset = 0;       // its offset in the file
    std::uint32_t audioReadPosition = 0;
    std::uint32_t audioLength = 0;
    std::uint16_t channels = 0;
    std::uint16_t sampleRate = 0; // the low 16 bits of the stored rate
    std::uint32_t stepBytes = 0;  // the full stored rate / 100
    std::uint16_t decodeStepsPerBuffer = 1;
    std::uint32_t bufferSize = 0;
    audio::WaveFormat waveFormat;
    AdpcmState adpcm;
    MpaFrameInfo mpegInfo{};
    std::array<std::uint8_t, 136> mp3Header{};
    std::uint32_t mp3MsPerFrame = 0;
    std::uint32_t mp3BytesConsumed = 0;
    const std::uint8_t* videoData = nullptr;
    std::uint64_t videoDataOffset = 0;
    std::uint32_t videoLength = 0;
    std::uint32_t videoReadOffset = 0;
    std::uint32_t nextFrameTime = 0;
    double frameDuration = 0.0;
    std::uint32_t totalTime = 0;
    std::atomic<std::uint32_t> currentTime{0};
    MovieFrameCallback frameCallback;

    // Playback.
    std::atomic<int> state{kPlayerOpen};
    std::atomic<int> quit{1};
    std::atomic<ui::WindowHandle> notifyWindow{0};
    std::array<std::unique_ptr<sync::Event>, kPlaybackBuffers + 1> events;
    // Per buffer: true while it is not with the device (before the prefill wrote it, or back
    // from the device and not yet refilled).
    std::array<std::atomic<bool>, kPlaybackBuffers> returned{};
    std::array<audio::WaveHeader, kPlaybackBuffers> headers{};
    std::array<std::vector<std::uint8_t>, kPlaybackBuffers> buffers;
    std::vector<std::uint8_t> scratch;
    std::vector<std::uint8_t> mp3Staging;
    std::mutex deviceLock;
    audio::HWAVEOUT device = nullptr;

    PlaybackSession();
    ~PlaybackSession();
    PlaybackSession(const PlaybackSession&) = delete;
    PlaybackSession& operator=(const PlaybackSession&) = delete;

    // True when the movie file still holds `end` bytes (offsets from the file start): a movie
    // cut short, or on a card pulled out, ends playback instead of faulting on the mapping.
    bool FileHolds(std::uint64_t end) const;

    // One decode step into `out` (at most `capacity` bytes): the bytes of PCM written, 0 when
    // no more sound can be produced. Advances the clock and, for the ADPCM kinds, delivers the
    // frames that became due; the MP3 kind delivers pictures as it meets them.
    std::uint32_t DecodeStep(std::uint8_t* out, std::uint32_t capacity);

    // The audio thread's loop; `self` keeps the session alive while it runs.
    static void AudioThread(std::shared_ptr<PlaybackSession> self);

    // The device's callback: marks buffer `user` returned and signals its event.
    static void WaveOutCallback(audio::HWAVEOUT device, std::uint32_t message,
                                std::uintptr_t instance, std::uintptr_t param1,
                                std::uintptr_t param2);

private:
    std::uint32_t AdpcmStep(std::uint8_t* out, std::uint32_t capacity);
    std::uint32_t Mp3Step(std::uint8_t* out, std::uint32_t capacity);
    void PaceVideo();
};

// The MPEG audio decoder keeps process-wide state: every call into it holds this lock.
std::mutex& MpegDecoderLock();

// Milliseconds as a 32-bit count: a value out of range is held at the range's end, so that no
// stored field turns the clock arithmetic undefined.
std::uint32_t TruncateMs(double milliseconds);

} // namespace fz
