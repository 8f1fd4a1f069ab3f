#pragma once

#include "platform/com/IUnknown.h"

#include <cstdint>

namespace fz::convert {

// What the conversion driver needs of the two processing filters of fzdsp: their class
// identifiers and their control interfaces, in the filters' method order (binary interface of
// the filter library; the filters answer them with these identifiers).
using com::HRESULT;
using com::IID;
using com::MakeGuid;

inline constexpr com::CLSID CLSID_MovieVideoDsp =
    MakeGuid("{335C3CB8-BDDD-4519-ADBD-C7F5A9E53AFC}");
inline constexpr com::CLSID CLSID_MovieAudioDsp =
    MakeGuid("{335C3CB8-BDDD-4520-ADBD-C7F5A9E53AFC}");

// The record the two filters share to align sound and pictures; the driver only passes its
// address from the video filter to the audio filter.
struct StreamSyncRecordOpaque;

struct IMovieVideoDsp : com::IUnknown {
    static constexpr IID kIid = MakeGuid("{DECD8777-F7AE-4EA4-AF8A-4A4FB32EDDAB}");
    using BaseInterface = com::IUnknown;

    virtual HRESULT SetOutputFormat(int width, int height, int rotate, int jpegformat,
                                    int fixed) = 0;
    virtual HRESULT GetOutputSize(int* width, int* height) = 0;
    virtual HRESULT GetLargestFrame(int* size) = 0;
    virtual HRESULT SetFrameRate(double rate) = 0;
    virtual HRESULT SetQuality(int quality) = 0;
    virtual HRESULT SetFileName(const char* name) = 0;
    virtual HRESULT SetPreviewMode(int flag) = 0;
    virtual HRESULT Open() = 0;
    virtual HRESULT GetStartOffset(int* ms) = 0;
    virtual HRESULT SetSourceSizeOutput(int flag) = 0;
    virtual HRESULT SetPreviewRotate(int flag) = 0;
    virtual HRESULT Close() = 0;
    virtual HRESULT SetVerticalCut(int flag) = 0;
    virtual HRESULT SetWidescreenCut(int flag, double top, double bottom) = 0;
    virtual HRESULT GetStatusRecord(StreamSyncRecordOpaque** record) = 0;

protected:
    ~IMovieVideoDsp() = default;
};

struct IMovieAudioDsp : com::IUnknown {
    static constexpr IID kIid = MakeGuid("{DECD8777-F7AE-4EA4-AF8B-4A4FB32EDDAB}");
    using BaseInterface = com::IUnknown;

    virtual HRESULT SetAudioFormat(int rate, int bitrate, unsigned channels) = 0;
    virtual HRESULT GetAudioFormat(int* rate, int* channels) = 0;
    virtual HRESULT SetFileName(const char* name) = 0;
    virtual HRESULT SetPreviewMode(int flag) = 0;
    virtual HRESULT Open() = 0;
    virtual HRESULT Close(int* lengthMs) = 0;
    virtual HRESULT SetGain(int decibels) = 0;
    virtual HRESULT SetStatusRecord(StreamSyncRecordOpaque* record) = 0;
    virtual HRESULT GetLastSampleTime(std::int64_t* time) = 0;

protected:
    ~IMovieAudioDsp() = default;
};

} // namespace fz::convert
