#pragma once

#include "fzdsp/filters/StreamSyncRecord.h"
#include "platform/com/IUnknown.h"

#include <cstdint>

namespace fz::dsp {

using com::HRESULT;

// The control interfaces of the two filters. Binary interfaces of the filter library: the
// methods follow IUnknown's three in exactly this order. QueryInterface, AddRef and Release
// forward to the filter's owning unknown; asking either filter for the other's interface
// gives E_NOINTERFACE. Every method returns S_OK and validates its arguments only as said.
//
// Called on the engine's thread (the application's window thread). Only the audio filter's
// SetFileName and both filters' Open and Close take the filter's lock; the other setters store
// plain values and are meant for a stopped graph.

// The video filter ("Movie Video DSP").
struct IMovieVideoDsp : com::IUnknown {
    static constexpr com::IID kIid = com::MakeGuid("{DECD8777-F7AE-4EA4-AF8A-4A4FB32EDDAB}");
    using BaseInterface = com::IUnknown;

    // Rotation = rotate; target size = width x height, exchanged when rotate is 90 or 270 (all
    // three kept in 16 bits); picture-format selector = jpegformat; fixed image scale = fixed;
    // the output format may be offered from now on.
    virtual HRESULT SetOutputFormat(int width, int height, int rotate, int jpegformat,
                                    int fixed) = 0;
    // The stored target size (after rounding and exchange).
    virtual HRESULT GetOutputSize(int* width, int* height) = 0;
    // The largest JPEG written since Open.
    virtual HRESULT GetLargestFrame(int* size) = 0;
    // Pictures per second: below 1 counts as 1, then 1 is added and the result limited to 30;
    // the schedule starts again at 0.
    virtual HRESULT SetFrameRate(double rate) = 0;
    virtual HRESULT SetQuality(int quality) = 0;
    // The frame file (an engine path; "C:\" paths name drive C:). Not locked: before Open.
    virtual HRESULT SetFileName(const char* name) = 0;
    virtual HRESULT SetPreviewMode(int flag) = 0;
    // Starts recording: Close, then creates (truncates) the frame file.
    virtual HRESULT Open() = 0;
    // The status record's videoOffset.
    virtual HRESULT GetStartOffset(int* ms) = 0;
    virtual HRESULT SetSourceSizeOutput(int flag) = 0;
    virtual HRESULT SetPreviewRotate(int flag) = 0;
    // Ends recording: closes the frame file, deletes the temporary JPEG file.
    virtual HRESULT Close() = 0;
    virtual HRESULT SetVerticalCut(int flag) = 0;
    // With flag 0 both fractions are stored as 0.0.
    virtual HRESULT SetWidescreenCut(int flag, double top, double bottom) = 0;
    // The filter's own record, valid while the filter exists.
    virtual HRESULT GetStatusRecord(StreamSyncRecord** record) = 0;

protected:
    ~IMovieVideoDsp() = default;
};

// The audio filter ("Movie Audio DSP").
struct IMovieAudioDsp : com::IUnknown {
    static constexpr com::IID kIid = com::MakeGuid("{DECD8777-F7AE-4EA4-AF8B-4A4FB32EDDAB}");
    using BaseInterface = com::IUnknown;

    // Output rate (replaced by the input's once connected; must not be 0 for the input to be
    // accepted), bit rate (kept, unused), output channels limited to 1..2 (0 gives 1, above 2
    // gives 2); the output format may be offered from now on.
    virtual HRESULT SetAudioFormat(int rate, int bitrate, unsigned channels) = 0;
    virtual HRESULT GetAudioFormat(int* rate, int* channels) = 0;
    // The sound file (an engine path), under the filter's lock.
    virtual HRESULT SetFileName(const char* name) = 0;
    // Kept; this filter does not use it.
    virtual HRESULT SetPreviewMode(int flag) = 0;
    // Starts recording: Close, then creates the sound file with a provisional header.
    virtual HRESULT Open() = 0;
    // Ends recording: finishes the WAVE header and closes the file; `lengthMs` (may be null)
    // receives the recorded length in ms.
    virtual HRESULT Close(int* lengthMs) = 0;
    // Gain in dB.
    virtual HRESULT SetGain(int decibels) = 0;
    // The record to report into; null detaches.
    virtual HRESULT SetStatusRecord(StreamSyncRecord* record) = 0;
    // Start time (100-ns units) of the latest input sample that had one.
    virtual HRESULT GetLastSampleTime(std::int64_t* time) = 0;

protected:
    ~IMovieAudioDsp() = default;
};

} // namespace fz::dsp
