#include "fzctrl/play/CMoviePlayer.h"

#include "fzctrl/play/JpegFrameSearch.h"
#include "fzctrl/play/MovieFileKind.h"
#include "fzctrl/play/MovieLayout.h"
#include "platform/bytes/LittleEndian.h"
#include "platform/sync/RecursiveMutex.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <unistd.h>

namespace fz {
namespace {

// One lock for every player of the process: start, stop and close.
sync::RecursiveMutex& PlayerLock() {
    static sync::RecursiveMutex lock;
    return lock;
}

// A sound buffer larger than this is taken as an allocation that cannot succeed: only a stored
// sample rate far beyond any real one asks for it.
constexpr std::uint64_t kMaxSoundBufferBytes = 16u << 20;

constexpr std::uint32_t kStopWaitMs = 1000;

int CountVideoFrames(PlaybackSession& s) {
    const FrameCount count = CountFrames(s.videoData, s.videoLength);
    if (count.frames == 0)
        return kOpenNotPlayable;
    s.frameDuration = static_cast<double>(s.totalTime) / count.frames;
    return kOpenOk;
}

// The ADPCM kinds share this: the sound's 16-bit rate and channels must both be non-zero, since
// the play clock divides by them.
int SetAdpcmSound(PlaybackSession& s, std::uint16_t channels, std::uint32_t rateField) {
    s.channels = channels;
    s.sampleRate = static_cast<std::uint16_t>(rateField);
    if (s.channels == 0 || s.sampleRate == 0)
        return kOpenNotPlayable;
    s.stepBytes = rateField / 100;
    const std::uint64_t bufferSize = std::uint64_t{s.stepBytes} * 256;
    if (bufferSize > kMaxSoundBufferBytes)
        return kOpenOutOfMemory;
    s.bufferSize = static_cast<std::uint32_t>(bufferSize);
    s.audioKind = kAudioKindAdpcm;
    return kOpenOk;
}

int OpenYhav(PlaybackSession& s) {
    YhavLayout layout;
    if (!ReadYhavLayout(s.mapper.Data(), s.mapper.Size(), layout))
        return kOpenNotPlayable;
    if (const int code = SetAdpcmSound(s, layout.channels, layout.sampleRateField); code != 0)
        return code;
    s.fileSize = s.mapper.Size();
    s.audioDataOffset = layout.audioOffset;
    s.audioData = s.mapper.Data() + layout.audioOffset;
    s.audioLength = layout.audioLength;
    s.totalTime = TruncateMs(static_cast<double>(layout.seconds) * 1000.0);
    s.videoDataOffset = layout.videoOffset;
    s.videoData = s.mapper.Data() + layout.videoOffset;
    s.videoLength = layout.videoLength;
    s.videoReadOffset = 0;
    s.nextFrameTime = 0;
    return CountVideoFrames(s);
}

int OpenKqffAdpcm(PlaybackSession& s) {
    const std::uint8_t* data = s.mapper.Data();
    KqffAdpcmInfo info;
    MovieAreas areas;
    if (!ReadKqffAdpcmInfo(data, s.mapper.Size(), info) ||
        !LocateKqffAdpcmAreas(data, s.mapper.Size(), info, areas))
        return kOpenNotPlayable;
    if (const int code = SetAdpcmSound(s, info.channels, info.sampleRateField); code != 0)
        return code;
    s.fileSize = s.mapper.Size();
    s.audioDataOffset = areas.audioOffset;
    s.audioData = data + areas.audioOffset;
    s.audioLength = areas.audioLength;
    s.videoDataOffset = areas.videoOffset;
    s.videoData = data + areas.videoOffset;
    s.videoLength = areas.videoLength;
    s.videoReadOffset = 0;
    s.nextFrameTime = info.firstFrameTime;
    s.totalTime = TruncateMs(static_cast<double>(s.audioLength) * 2 * 1000.0 /
                             (static_cast<double>(s.channels) * s.sampleRate));
    return CountVideoFrames(s);
}

int OpenKqffMp3(PlaybackSession& s) {
    const std::uint8_t* data = s.mapper.Data();
    const std::uint32_t size = s.mapper.Size();
    KqffMp3Info info;
    if (!ReadKqffMp3Info(data, size, LayoutUse::Player, info))
        return kOpenNotPlayable;
    s.audioKind = kAudioKindMp3;
    s.audioDataOffset = kMp3RecordStreamOffset;
    s.audioData = data + kMp3RecordStreamOffset;
    s.fileSize = size - static_cast<std::uint32_t>(kMp3RecordStreamOffset);
    s.channels = info.channels;
    s.sampleRate = static_cast<std::uint16_t>(info.sampleRate);
    const std::uint8_t* first = data + kMp3RecordStreamOffset + 1;
    const int available = static_cast<int>(std::min<std::uint32_t>(s.fileSize - 1, 1u << 30));
    {
        std::lock_guard lock(MpegDecoderLock());
        MpaInit();
        MpaGetInfo(first, available, s.mpegInfo, MpaRemember::Yes);
        MpaDecodeInit(first, available);
    }
    const std::int32_t pcmBytes = std::max(s.mpegInfo.pcmBytesPerFrame, 0);
    s.bufferSize = static_cast<std::uint32_t>(pcmBytes) * 64;
    std::memcpy(s.mp3Header.data(), data + 0x20, s.mp3Header.size());
    s.mp3MsPerFrame = info.msPerFrame;
    s.totalTime = info.totalTimeMs;
    return kOpenOk;
}

} // namespace

CMoviePlayer::~CMoviePlayer() {
    Close();
}

int CMoviePlayer::OpenMovie(const std::string& hostPath, PlaybackSession& s) {
    if (!s.mapper.Open(hostPath))
        return kOpenCannotMap;
    s.fileDescriptor = open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (s.fileDescriptor < 0)
        return kOpenCannotMap;
    if (IsYhavFile(hostPath))
        return OpenYhav(s);
    std::uint32_t kind = 0;
    if (!ReadKqffHeader(s.mapper.Data(), s.mapper.Size(), kind))
        return kOpenNotPlayable;
    if (kind == kAudioKindAdpcm)
        return OpenKqffAdpcm(s);
    if (kind == kAudioKindMp3)
        return OpenKqffMp3(s);
    return kOpenOtherAudioKind;
}

int CMoviePlayer::Open(const std::string& hostPath) {
    if (m_session)
        return kOpenOk;
    auto session = std::make_shared<PlaybackSession>();
    if (const int code = OpenMovie(hostPath, *session); code != kOpenOk)
        return code;
    PlaybackSession& s = *session;

    s.waveFormat.formatTag = audio::kWaveFormatPcm;
    s.waveFormat.channels = s.channels;
    s.waveFormat.samplesPerSec = s.sampleRate;
    s.waveFormat.bitsPerSample = 16;
    s.waveFormat.blockAlign = static_cast<std::uint16_t>(s.channels * 2u);
    s.waveFormat.avgBytesPerSec = std::uint32_t{s.channels} * s.sampleRate * 2u;
    try {
        for (auto& buffer : s.buffers)
            buffer.assign(s.bufferSize, 0);
        s.scratch.assign(s.bufferSize, 0);
        s.mp3Staging.assign(s.bufferSize, 0);
    } catch (const std::bad_alloc&) {
        return kOpenOutOfMemory;
    }

    s.quit = 0;
    m_thread = std::thread(PlaybackSession::AudioThread, session);
    if (audio::WaveOutOpen(&s.device, audio::kWaveMapper, &s.waveFormat,
                           PlaybackSession::WaveOutCallback, reinterpret_cast<std::uintptr_t>(&s),
                           audio::kCallbackFunction) != audio::MMSYSERR_NOERROR)
        s.device = nullptr;
    s.state = kPlayerOpen;
    s.notifyWindow = m_notifyWindow;
    m_session = std::move(session);
    m_totalTime = s.totalTime;
    return kOpenOk;
}

void CMoviePlayer::SetNotifyWindow(ui::WindowHandle window) {
    m_notifyWindow = window;
    if (m_session)
        m_session->notifyWindow = window;
}

void CMoviePlayer::SetFrameCallback(MovieFrameCallback callback) {
    m_frameCallback = std::move(callback);
}

void CMoviePlayer::Start() {
    std::lock_guard lock(PlayerLock());
    if (!m_session || m_session->state != kPlayerOpen || m_session->quit != 0)
        return;
    PlaybackSession& s = *m_session;
    s.frameCallback = m_frameCallback;
    s.mp3BytesConsumed = 0;
    s.adpcm = AdpcmState{};
    s.decodeStepsPerBuffer = 1;
    int queued = 0;
    for (int i = 0; i < kPlaybackBuffers; ++i) {
        audio::WaveHeader& header = s.headers[static_cast<std::size_t>(i)];
        header.user = static_cast<std::uintptr_t>(i);
        header.data = s.buffers[static_cast<std::size_t>(i)].data();
        const std::uint32_t bytes = s.DecodeStep(s.scratch.data(), s.bufferSize);
        if (bytes == 0)
            break;
        std::memcpy(header.data, s.scratch.data(), bytes);
        header.bufferLength = bytes;
        std::lock_guard deviceLock(s.deviceLock);
        s.returned[static_cast<std::size_t>(i)] = false;
        if (s.device == nullptr ||
            audio::WaveOutPrepareHeader(s.device, &header, sizeof header) !=
                audio::MMSYSERR_NOERROR ||
            audio::WaveOutWrite(s.device, &header, sizeof header) != audio::MMSYSERR_NOERROR)
            break;
        ++queued;
    }
    if (queued < kPlaybackBuffers)
        return;
    s.state = kPlayerPlaying;
    // Buffers that came back while the prefill still ran were passed over by the thread; hand
    // them to it again so that every returned buffer is refilled.
    for (int i = 0; i < kPlaybackBuffers; ++i) {
        if (s.returned[static_cast<std::size_t>(i)])
            s.events[static_cast<std::size_t>(i)]->Set();
    }
}

void CMoviePlayer::StopLocked() {
    PlaybackSession& s = *m_session;
    if (m_thread.joinable()) {
        if (s.quit == 0) {
            s.quit = 1;
            s.events[0]->Set();
        }
        if (s.events[kAudioThreadEndedEvent]->Wait(kStopWaitMs) == sync::kWaitObject0)
            m_thread.join();
        else
            m_thread.detach(); // it holds the session; it ends once its call returns
    }
    s.quit = 1;
    std::lock_guard deviceLock(s.deviceLock);
    if (s.device != nullptr)
        audio::WaveOutReset(s.device);
    s.state = kPlayerOpen;
    for (audio::WaveHeader& header : s.headers) {
        if (s.device != nullptr && (header.flags & audio::kWhdrPrepared) != 0)
            audio::WaveOutUnprepareHeader(s.device, &header, sizeof header);
    }
    s.notifyWindow = 0;
}

void CMoviePlayer::Stop() {
    std::lock_guard lock(PlayerLock());
    if (m_session)
        StopLocked();
}

void CMoviePlayer::Close() {
    std::lock_guard lock(PlayerLock());
    if (!m_session)
        return;
    StopLocked();
    {
        std::lock_guard deviceLock(m_session->deviceLock);
        if (m_session->device != nullptr)
            audio::WaveOutClose(m_session->device);
        m_session->device = nullptr;
        m_session->state = kPlayerClosed;
    }
    // The buffers, the mapping and the events go with the last owner: here, or the audio thread
    // when it has not ended yet.
    m_session.reset();
    m_notifyWindow = 0;
}

int CMoviePlayer::GetState() const {
    return m_session ? m_session->state.load() : kPlayerClosed;
}

int CMoviePlayer::BuffersAtDevice() const {
    if (!m_session)
        return 0;
    int count = 0;
    for (const auto& returned : m_session->returned)
        count += returned ? 0 : 1;
    return count;
}

std::uint32_t CMoviePlayer::GetCurrentTime() const {
    return m_session ? m_session->currentTime.load() : 0;
}

} // namespace fz
