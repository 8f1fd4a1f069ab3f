#pragma once

#include "fzdsp/filters/FilterDebugLog.h"
#include "fzdsp/filters/FrameSchedule.h"
#include "fzdsp/filters/MovieDspInterfaces.h"
#include "fzdsp/filters/StreamSyncRecord.h"
#include "fzdsp/picture/GeometryCanvas.h"
#include "platform/media/base/TransformFilter.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace fz::dsp {

// "Movie Video DSP": keeps the decoded pictures that are due at the target frame rate, cuts,
// scales and rotates each to the target size, hands a 24-bit copy downstream for the preview
// and, between Open and Close, compresses it to JPEG and appends it with its time stamp to the
// frame file. Owns the StreamSyncRecord shared with the audio filter.
//
// Threads: the media-type and buffer calls on the application's thread while connecting;
// Transform on the upstream streaming thread (under the base's receive lock); the control
// interface on the engine's thread. Open, Close and the recording section take the filter's
// own lock (m_recordLock); the recording section takes EncoderLock() inside it.
class CMovieVideoDsp final : public media::CTransformFilter, public IMovieVideoDsp {
public:
    explicit CMovieVideoDsp(IUnknown* outer);

    FZ_COM_DELEGATING_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(const com::IID& iid, void** object) override;

    // CTransformFilter
    HRESULT CheckInputType(const media::CMediaType* in) override;
    HRESULT CheckTransform(const media::CMediaType* in, const media::CMediaType* out) override;
    HRESULT DecideBufferSize(media::IMemAllocator* allocator,
                             media::ALLOCATOR_PROPERTIES* properties) override;
    HRESULT GetMediaType(int position, media::CMediaType* type) override;
    HRESULT Transform(media::IMediaSample* in, media::IMediaSample* out) override;

    // IMovieVideoDsp
    HRESULT SetOutputFormat(int width, int height, int rotate, int jpegformat, int fixed) override;
    HRESULT GetOutputSize(int* width, int* height) override;
    HRESULT GetLargestFrame(int* size) override;
    HRESULT SetFrameRate(double rate) override;
    HRESULT SetQuality(int quality) override;
    HRESULT SetFileName(const char* name) override;
    HRESULT SetPreviewMode(int flag) override;
    HRESULT Open() override;
    HRESULT GetStartOffset(int* ms) override;
    HRESULT SetSourceSizeOutput(int flag) override;
    HRESULT SetPreviewRotate(int flag) override;
    HRESULT Close() override;
    HRESULT SetVerticalCut(int flag) override;
    HRESULT SetWidescreenCut(int flag, double top, double bottom) override;
    HRESULT GetStatusRecord(StreamSyncRecord** record) override;

    // The frame schedule (for tests: the next due time and the interval).
    const FrameSchedule& Schedule() const { return m_schedule; }
    // The engine path of the temporary JPEG file and of the debug log (for tests).
    std::string TemporaryJpegName() const;
    const std::string& DebugLogName() const { return m_log.EnginePath(); }

private:
    ~CMovieVideoDsp() override;

    // The output picture's size as the output pin offers it.
    void ExpectedOutputSize(int* width, int* height) const;
    HRESULT ProcessFrame(media::IMediaSample* in, media::IMediaSample* out, bool timed,
                         media::REFERENCE_TIME start);
    HRESULT RecordFrame(const std::uint8_t* pixels, int width, int height, bool timed,
                        media::REFERENCE_TIME start);
    HRESULT WriteFrameRecord(bool timed, media::REFERENCE_TIME start);
    void CloseLocked();

    // Settings (engine's thread, before streaming).
    std::uint16_t m_sourceWidth = 0;
    std::uint16_t m_sourceHeight = 0;
    std::uint16_t m_sourceBits = 0;
    std::uint16_t m_targetWidth = 160;
    std::uint16_t m_targetHeight = 128;
    std::uint16_t m_rotation = 0;
    std::int32_t m_fixedImageScale = 0;
    std::int32_t m_formatSet = 1;
    std::int32_t m_sizeRounded = 0;
    std::int32_t m_pictureFormat = 0;
    std::int32_t m_quality = 80;
    std::int32_t m_verticalCut = 0;
    std::int32_t m_widescreenCut = 0;
    double m_widescreenTop = 0.0;
    double m_widescreenBottom = 0.0;
    std::int32_t m_previewMode = 1;
    std::int32_t m_previewRotate = 1;
    std::int32_t m_sourceSizeOutput = 0;
    std::string m_frameFileName;

    // Streaming state.
    FrameSchedule m_schedule;
    bool m_hadTime = false;
    std::int64_t m_lastTimeMs = 0;
    std::vector<std::uint8_t> m_workPicture; // the 32-bit input packed to 24 bits
    GeometryCanvas m_secondPicture;
    std::vector<std::uint8_t> m_jpeg; // the temporary JPEG file read back

    // Recording (m_recordLock).
    std::mutex m_recordLock;
    std::FILE* m_frameFile = nullptr;
    std::string m_temporaryJpegName = "C:\\fztemp.jpg";
    media::REFERENCE_TIME m_firstTime = 0;
    bool m_firstTimeSet = false;
    std::atomic<std::int32_t> m_largestFrame{0};

    StreamSyncRecord m_status;
    FilterDebugLog m_log;
};

} // namespace fz::dsp
