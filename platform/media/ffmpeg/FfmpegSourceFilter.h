#pragma once

// The file source that RenderFile builds (CreateFileSourceFilter, platform/media/source): a
// filter with an output pin per decodable stream of the file ("Video", then "Audio"), over a
// MediaReader (one demuxing thread, bounded queues, a decoder per stream).
//
//   Pause from Stopped   starts the demuxing thread and a streaming thread per connected pin;
//                        each pin first delivers a new segment (the current position to the
//                        stop position), then its samples, then the end of its stream.
//   Stop                 aborts the reader (every wait inside it ends), decommits the pins'
//                        allocators (a thread waiting for a buffer is released), joins the
//                        streaming threads and then the demuxing thread. A later Pause goes on
//                        from the earliest time not yet delivered.
//   SetPositions         while active: flushes downstream, stops the threads, seeks, starts
//                        them again (new segment at the new position); while stopped: the
//                        next Pause starts there. Sample times stay positions in the source.
//
// Every state change, seek and query arrives on the application's thread (the graph's) and
// takes the filter lock; the streaming threads never take it.

#include "platform/media/base/BaseFilter.h"
#include "platform/media/base/GraphInterfaces.h"
#include "platform/media/ffmpeg/FfmpegOutputPin.h"
#include "platform/media/ffmpeg/MediaReader.h"

#include <memory>
#include <span>
#include <string>
#include <vector>

namespace fz::media::ffmpeg {

// The class identifier of the FFmpeg source (reported by GetClassID; the filter is created by
// RenderFile, not through the registry).
inline constexpr CLSID CLSID_FfmpegSource = MakeGuid("{C481DA5F-103F-4881-AF5F-BA8C6B1D0B5F}");

// The limits that RenderFile's source opens files with: the defaults, unless a harness (the
// fuzzer) sets tighter ones before it builds graphs. Any thread.
void SetFileSourceLimits(const SourceLimits& limits);
SourceLimits FileSourceLimits();

class CFfmpegSourceFilter final : public CBaseFilter,
                                  public IMediaSeeking,
                                  public IAMFilterMiscFlags {
public:
    // Opens a file: VFW_E_NOT_FOUND (no such file, not a regular file, not readable),
    // VFW_E_UNKNOWN_FILE_TYPE (not a media file), VFW_E_UNSUPPORTED_STREAM (no stream that can
    // be decoded). On success `*out` holds the filter with one reference.
    static HRESULT CreateFromFile(const std::string& path, const SourceLimits& limits,
                                  IBaseFilter** out);
    // The same over bytes the caller keeps alive and unchanged while the filter lives.
    static HRESULT CreateFromMemory(std::span<const std::uint8_t> bytes, const SourceLimits& limits,
                                    IBaseFilter** out);

    FZ_COM_DELEGATING_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(const IID& iid, void** object) override;

    int GetPinCount() override;
    CBasePin* GetPin(int index) override;
    HRESULT Stop() override;
    HRESULT Pause() override;

    // IMediaSeeking: positions in 100-ns units from the start of the source.
    HRESULT GetCapabilities(std::uint32_t* capabilities) override;
    HRESULT CheckCapabilities(std::uint32_t* capabilities) override;
    HRESULT IsFormatSupported(const GUID* format) override;
    HRESULT QueryPreferredFormat(GUID* format) override;
    HRESULT GetTimeFormat(GUID* format) override;
    HRESULT IsUsingTimeFormat(const GUID* format) override;
    HRESULT SetTimeFormat(const GUID* format) override;
    // The container's length, or the longest delivered stream's; E_NOTIMPL when unknown.
    HRESULT GetDuration(std::int64_t* duration) override;
    HRESULT GetStopPosition(std::int64_t* stop) override;
    // How far every connected pin has delivered (the slowest).
    HRESULT GetCurrentPosition(std::int64_t* current) override;
    HRESULT ConvertTimeFormat(std::int64_t* target, const GUID* targetFormat, std::int64_t source,
                              const GUID* sourceFormat) override;
    HRESULT SetPositions(std::int64_t* current, std::uint32_t currentFlags, std::int64_t* stop,
                         std::uint32_t stopFlags) override;
    HRESULT GetPositions(std::int64_t* current, std::int64_t* stop) override;
    HRESULT GetAvailable(std::int64_t* earliest, std::int64_t* latest) override;
    HRESULT SetRate(double rate) override;
    HRESULT GetRate(double* rate) override;
    HRESULT GetPreroll(std::int64_t* preroll) override;

    // IAMFilterMiscFlags: a source.
    std::uint32_t GetMiscFlags() override { return AM_FILTER_MISC_FLAGS_IS_SOURCE; }

private:
    explicit CFfmpegSourceFilter(std::unique_ptr<MediaReader> reader);
    ~CFfmpegSourceFilter() override;
    static HRESULT Wrap(std::unique_ptr<MediaReader> reader, IBaseFilter** out);

    void StartStreaming();
    void StopStreaming();
    CFfmpegOutputPin* PinFor(SourceStream stream) const;

    std::unique_ptr<MediaReader> m_reader;
    std::vector<std::unique_ptr<CFfmpegOutputPin>> m_pins;
    bool m_streaming = false;
    REFERENCE_TIME m_segmentStart = 0; // where the current or next delivery starts
    REFERENCE_TIME m_stop = 0;         // stop position (the duration unless set)
};

} // namespace fz::media::ffmpeg
