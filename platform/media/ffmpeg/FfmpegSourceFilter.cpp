#include "platform/media/ffmpeg/FfmpegSourceFilter.h"

#include <algorithm>
#include <limits>
#include <mutex>
#include <sys/stat.h>

extern "C" {
#include <libavutil/log.h>
}

namespace fz::media::ffmpeg {

using com::E_POINTER;
using com::S_FALSE;
using com::S_OK;

namespace {

constexpr std::uint32_t kCapabilities = AM_SEEKING_CanSeekAbsolute | AM_SEEKING_CanSeekForwards |
                                        AM_SEEKING_CanSeekBackwards | AM_SEEKING_CanGetCurrentPos |
                                        AM_SEEKING_CanGetStopPos | AM_SEEKING_CanGetDuration;

// FFmpeg's own messages about damaged files are debug traces: silent unless FRAMZEL_TRACE asks
// for traces.
void QuietFfmpegLog() {
    static std::once_flag once;
    std::call_once(once, [] {
        const char* trace = std::getenv("FRAMZEL_TRACE");
        if (trace == nullptr || *trace == '\0')
            av_log_set_level(AV_LOG_QUIET);
    });
}

HRESULT FailureResult(OpenFailure failure) {
    return failure == OpenFailure::UnknownType ? VFW_E_UNKNOWN_FILE_TYPE : VFW_E_UNSUPPORTED_STREAM;
}

std::mutex g_limitsMutex;
SourceLimits g_fileLimits;

} // namespace

void SetFileSourceLimits(const SourceLimits& limits) {
    const std::lock_guard lock(g_limitsMutex);
    g_fileLimits = limits;
}

SourceLimits FileSourceLimits() {
    const std::lock_guard lock(g_limitsMutex);
    return g_fileLimits;
}

CFfmpegSourceFilter::CFfmpegSourceFilter(std::unique_ptr<MediaReader> reader)
    : CBaseFilter("FFmpeg Source", nullptr, CLSID_FfmpegSource)
    , m_reader(std::move(reader)) {
    if (m_reader->HasVideo()) {
        const VideoStreamDecoder& video = *m_reader->Video();
        m_pins.push_back(std::make_unique<CFfmpegOutputPin>(
            this, *m_reader, SourceStream::Video,
            MakeVideoType(MEDIASUBTYPE_RGB32, video.Width(), video.Height(),
                          video.FrameDuration())));
    }
    if (m_reader->HasAudio()) {
        const AudioStreamDecoder& audio = *m_reader->Audio();
        m_pins.push_back(std::make_unique<CFfmpegOutputPin>(
            this, *m_reader, SourceStream::Audio,
            MakePcmType(static_cast<std::uint32_t>(audio.SampleRate()),
                        static_cast<std::uint16_t>(audio.Channels()),
                        static_cast<std::uint16_t>(audio.BitsPerSample()))));
    }
    m_stop = m_reader->Duration();
}

CFfmpegSourceFilter::~CFfmpegSourceFilter() {
    m_reader->Abort();
    for (const auto& pin : m_pins)
        pin->JoinStreaming();
    m_reader->Stop();
}

HRESULT CFfmpegSourceFilter::Wrap(std::unique_ptr<MediaReader> reader, IBaseFilter** out) {
    auto* filter = new (std::nothrow) CFfmpegSourceFilter(std::move(reader));
    if (!filter)
        return com::E_OUTOFMEMORY;
    // The new object's one reference is on its own unknown; hand it out as IBaseFilter.
    *out = filter;
    return S_OK;
}

HRESULT CFfmpegSourceFilter::CreateFromFile(const std::string& path, const SourceLimits& limits,
                                            IBaseFilter** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    struct stat info {};
    if (path.empty() || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        access(path.c_str(), R_OK) != 0)
        return VFW_E_NOT_FOUND;
    QuietFfmpegLog();
    OpenFailure failure = OpenFailure::None;
    std::unique_ptr<MediaReader> reader = MediaReader::OpenFile(path, limits, nullptr, &failure);
    if (!reader)
        return FailureResult(failure);
    return Wrap(std::move(reader), out);
}

HRESULT CFfmpegSourceFilter::CreateFromMemory(std::span<const std::uint8_t> bytes,
                                              const SourceLimits& limits, IBaseFilter** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    QuietFfmpegLog();
    OpenFailure failure = OpenFailure::None;
    std::unique_ptr<MediaReader> reader = MediaReader::OpenMemory(bytes, limits, nullptr, &failure);
    if (!reader)
        return FailureResult(failure);
    return Wrap(std::move(reader), out);
}

HRESULT CFfmpegSourceFilter::NonDelegatingQueryInterface(const IID& iid, void** object) {
    if (iid == IMediaSeeking::kIid)
        return com::GetInterface(static_cast<IMediaSeeking*>(this), object);
    if (iid == IAMFilterMiscFlags::kIid)
        return com::GetInterface(static_cast<IAMFilterMiscFlags*>(this), object);
    return CBaseFilter::NonDelegatingQueryInterface(iid, object);
}

int CFfmpegSourceFilter::GetPinCount() {
    return static_cast<int>(m_pins.size());
}

CBasePin* CFfmpegSourceFilter::GetPin(int index) {
    if (index < 0 || index >= GetPinCount())
        return nullptr;
    return m_pins[static_cast<std::size_t>(index)].get();
}

CFfmpegOutputPin* CFfmpegSourceFilter::PinFor(SourceStream stream) const {
    for (const auto& pin : m_pins)
        if (pin->Stream() == stream)
            return pin.get();
    return nullptr;
}

void CFfmpegSourceFilter::StartStreaming() {
    const CFfmpegOutputPin* video = PinFor(SourceStream::Video);
    const CFfmpegOutputPin* audio = PinFor(SourceStream::Audio);
    m_reader->SetDelivered(video && video->IsConnected(), audio && audio->IsConnected());
    m_reader->Start();
    m_segmentStart = m_reader->StartPosition();
    const REFERENCE_TIME stop = m_stop > 0 ? m_stop : std::numeric_limits<REFERENCE_TIME>::max();
    for (const auto& pin : m_pins)
        if (pin->IsConnected())
            pin->StartStreaming(m_segmentStart, stop);
    m_streaming = true;
}

void CFfmpegSourceFilter::StopStreaming() {
    if (!m_streaming)
        return;
    m_reader->Abort();
    for (const auto& pin : m_pins)
        pin->JoinStreaming();
    m_reader->Stop();
    m_segmentStart = m_reader->StartPosition();
    m_streaming = false;
}

HRESULT CFfmpegSourceFilter::Pause() {
    std::lock_guard lock(m_filterLock);
    const bool wasStopped = IsStopped();
    const HRESULT result = CBaseFilter::Pause();
    if (com::Succeeded(result) && wasStopped)
        StartStreaming();
    return result;
}

HRESULT CFfmpegSourceFilter::Stop() {
    std::lock_guard lock(m_filterLock);
    // Abort first, so a streaming thread inside the reader returns; the base class then
    // decommits the allocators, which releases a thread waiting for a buffer.
    m_reader->Abort();
    const HRESULT result = CBaseFilter::Stop();
    StopStreaming();
    return result;
}

HRESULT CFfmpegSourceFilter::GetCapabilities(std::uint32_t* capabilities) {
    if (!capabilities)
        return E_POINTER;
    *capabilities = kCapabilities;
    return S_OK;
}

HRESULT CFfmpegSourceFilter::CheckCapabilities(std::uint32_t* capabilities) {
    if (!capabilities)
        return E_POINTER;
    const std::uint32_t asked = *capabilities;
    *capabilities = asked & kCapabilities;
    if (*capabilities == asked)
        return S_OK;
    return *capabilities ? S_FALSE : com::E_FAIL;
}

HRESULT CFfmpegSourceFilter::IsFormatSupported(const GUID* format) {
    if (!format)
        return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : S_FALSE;
}

HRESULT CFfmpegSourceFilter::QueryPreferredFormat(GUID* format) {
    if (!format)
        return E_POINTER;
    *format = TIME_FORMAT_MEDIA_TIME;
    return S_OK;
}

HRESULT CFfmpegSourceFilter::GetTimeFormat(GUID* format) {
    return QueryPreferredFormat(format);
}

HRESULT CFfmpegSourceFilter::IsUsingTimeFormat(const GUID* format) {
    return IsFormatSupported(format);
}

HRESULT CFfmpegSourceFilter::SetTimeFormat(const GUID* format) {
    if (!format)
        return E_POINTER;
    return *format == TIME_FORMAT_MEDIA_TIME ? S_OK : com::E_INVALIDARG;
}

HRESULT CFfmpegSourceFilter::GetDuration(std::int64_t* duration) {
    if (!duration)
        return E_POINTER;
    const std::int64_t length = m_reader->Duration();
    if (length <= 0)
        return com::E_NOTIMPL;
    *duration = length;
    return S_OK;
}

HRESULT CFfmpegSourceFilter::GetStopPosition(std::int64_t* stop) {
    if (!stop)
        return E_POINTER;
    std::lock_guard lock(m_filterLock);
    *stop = m_stop;
    return S_OK;
}

HRESULT CFfmpegSourceFilter::GetCurrentPosition(std::int64_t* current) {
    if (!current)
        return E_POINTER;
    std::lock_guard lock(m_filterLock);
    REFERENCE_TIME position = std::numeric_limits<REFERENCE_TIME>::max();
    bool any = false;
    if (m_streaming) {
        for (const auto& pin : m_pins) {
            if (pin->IsConnected()) {
                position = std::min(position, pin->DeliveredUpTo(m_segmentStart));
                any = true;
            }
        }
    }
    *current = any ? position : m_segmentStart;
    return S_OK;
}

HRESULT CFfmpegSourceFilter::ConvertTimeFormat(std::int64_t* target, const GUID* targetFormat,
                                               std::int64_t source, const GUID* sourceFormat) {
    if (!target)
        return E_POINTER;
    const auto isMediaTime = [](const GUID* format) {
        return !format || *format == TIME_FORMAT_MEDIA_TIME;
    };
    if (!isMediaTime(targetFormat) || !isMediaTime(sourceFormat))
        return com::E_INVALIDARG;
    *target = source;
    return S_OK;
}

HRESULT CFfmpegSourceFilter::SetPositions(std::int64_t* current, std::uint32_t currentFlags,
                                          std::int64_t* stop, std::uint32_t stopFlags) {
    const std::uint32_t currentMode = currentFlags & AM_SEEKING_PositioningBitsMask;
    const std::uint32_t stopMode = stopFlags & AM_SEEKING_PositioningBitsMask;
    if ((currentMode != AM_SEEKING_NoPositioning && !current) ||
        (stopMode != AM_SEEKING_NoPositioning && !stop))
        return E_POINTER;
    if (currentMode == AM_SEEKING_IncrementalPositioning)
        return com::E_INVALIDARG;
    std::lock_guard lock(m_filterLock);
    if (stopMode == AM_SEEKING_AbsolutePositioning)
        m_stop = std::max<std::int64_t>(0, *stop);
    else if (stopMode == AM_SEEKING_RelativePositioning)
        m_stop = std::max<std::int64_t>(0, m_stop + *stop);
    else if (stopMode == AM_SEEKING_IncrementalPositioning)
        m_stop = std::max<std::int64_t>(0, m_segmentStart + *stop);
    if (stop && (stopFlags & AM_SEEKING_ReturnTime))
        *stop = m_stop;
    if (currentMode == AM_SEEKING_NoPositioning)
        return S_OK;
    std::int64_t target = *current;
    if (currentMode == AM_SEEKING_RelativePositioning) {
        std::int64_t now = 0;
        GetCurrentPosition(&now);
        target += now;
    }
    target = std::max<std::int64_t>(0, target);

    HRESULT result = S_OK;
    if (m_streaming) {
        // Downstream drops what it holds and releases every wait (a renderer waiting for its
        // time, a thread waiting for a buffer); then the threads stop, the file moves, and
        // streaming starts again with a new segment.
        for (const auto& pin : m_pins)
            if (pin->IsConnected())
                pin->DeliverBeginFlush();
        StopStreaming();
        for (const auto& pin : m_pins)
            if (pin->IsConnected())
                pin->DeliverEndFlush();
        if (!m_reader->Seek(target))
            result = com::E_FAIL;
        StartStreaming();
    } else if (!m_reader->Seek(target)) {
        result = com::E_FAIL;
    }
    m_segmentStart = m_reader->StartPosition();
    if (currentFlags & AM_SEEKING_ReturnTime)
        *current = m_segmentStart;
    return result;
}

HRESULT CFfmpegSourceFilter::GetPositions(std::int64_t* current, std::int64_t* stop) {
    if (current) {
        const HRESULT result = GetCurrentPosition(current);
        if (com::Failed(result))
            return result;
    }
    if (stop)
        return GetStopPosition(stop);
    return S_OK;
}

HRESULT CFfmpegSourceFilter::GetAvailable(std::int64_t* earliest, std::int64_t* latest) {
    if (earliest)
        *earliest = 0;
    if (latest)
        *latest = m_reader->Duration();
    return S_OK;
}

HRESULT CFfmpegSourceFilter::SetRate(double rate) {
    return rate == 1.0 ? S_OK : com::E_INVALIDARG;
}

HRESULT CFfmpegSourceFilter::GetRate(double* rate) {
    if (!rate)
        return E_POINTER;
    *rate = 1.0;
    return S_OK;
}

HRESULT CFfmpegSourceFilter::GetPreroll(std::int64_t* preroll) {
    if (!preroll)
        return E_POINTER;
    *preroll = 0;
    return S_OK;
}

} // namespace fz::media::ffmpeg
