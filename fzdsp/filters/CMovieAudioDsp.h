#pragma once

#include "fzdsp/filters/MovieDspInterfaces.h"
#include "fzdsp/filters/StreamSyncRecord.h"
#include "platform/media/base/MediaFormats.h"
#include "platform/media/base/TransformFilter.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace fz::dsp {

// "Movie Audio DSP": turns decoded PCM into 16-bit PCM with the requested channel count at the
// input's own rate, applies the gain, passes it downstream and, between Open and Close,
// appends the same bytes to the sound file (a WAVE file whose header Close completes). Reports
// its first and latest sample times into the video filter's StreamSyncRecord.
//
// Threads: the media-type and buffer calls on the application's thread while connecting;
// Transform on the upstream streaming thread; the control interface on the engine's thread.
// The filter's lock (m_lock) is taken by Transform for the conversion and recording, and by
// SetFileName, Open and Close.
class CMovieAudioDsp final : public media::CTransformFilter, public IMovieAudioDsp {
public:
    explicit CMovieAudioDsp(IUnknown* outer);

    FZ_COM_DELEGATING_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(const com::IID& iid, void** object) override;

    // CTransformFilter
    HRESULT CheckInputType(const media::CMediaType* in) override;
    HRESULT CheckTransform(const media::CMediaType* in, const media::CMediaType* out) override;
    HRESULT DecideBufferSize(media::IMemAllocator* allocator,
                             media::ALLOCATOR_PROPERTIES* properties) override;
    HRESULT GetMediaType(int position, media::CMediaType* type) override;
    HRESULT Transform(media::IMediaSample* in, media::IMediaSample* out) override;

    // IMovieAudioDsp
    HRESULT SetAudioFormat(int rate, int bitrate, unsigned channels) override;
    HRESULT GetAudioFormat(int* rate, int* channels) override;
    HRESULT SetFileName(const char* name) override;
    HRESULT SetPreviewMode(int flag) override;
    HRESULT Open() override;
    HRESULT Close(int* lengthMs) override;
    HRESULT SetGain(int decibels) override;
    HRESULT SetStatusRecord(StreamSyncRecord* record) override;
    HRESULT GetLastSampleTime(std::int64_t* time) override;

private:
    ~CMovieAudioDsp() override;

    HRESULT ConvertAndRecord(media::IMediaSample* in, std::uint8_t* output, std::size_t outputSize,
                             long* outputLength);

    std::atomic<std::int32_t> m_outputRate{0};
    std::int32_t m_bitRate = 24000;
    std::int32_t m_outputChannels = 2;
    media::WAVEFORMATEX m_inputFormat;
    std::int32_t m_formatSet = 0;
    std::int32_t m_previewMode = 1;
    std::int32_t m_gain = 0;
    std::atomic<StreamSyncRecord*> m_status{nullptr};
    std::atomic<std::int64_t> m_lastSampleTime{0};

    std::mutex m_lock; // the fields below
    std::string m_fileName;
    std::FILE* m_file = nullptr;
    std::vector<std::uint8_t> m_widened;
};

} // namespace fz::dsp
