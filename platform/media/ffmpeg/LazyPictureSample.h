#pragma once

// The video pin's samples: a sample of the connection's allocator, wrapped so that its bytes
// are produced on the first GetPointer. The wrapper keeps the decoder's picture until then;
// every other call goes straight to the wrapped sample. A sample that nobody reads (most
// pictures, which the video filter drops) is never converted to RGB.
//
// The wrapper holds a reference on the wrapped sample, so the allocator's pool still bounds
// how many pictures are out: the wrapped sample returns to its pool when the last holder of
// the wrapper releases it. Used by one thread at a time, as every sample; the conversion is
// guarded anyway, since a renderer may read a sample on a thread of its own.

#include "platform/com/ComObject.h"
#include "platform/com/ComPtr.h"
#include "platform/media/base/MediaInterfaces.h"
#include "platform/media/ffmpeg/PictureConverter.h"

#include <mutex>

namespace fz::media::ffmpeg {

class CLazyPictureSample final : public com::ComObject<IMediaSample> {
public:
    // `sample` (a reference is taken) has room for the converted picture.
    CLazyPictureSample(IMediaSample* sample, LazyPicture picture);

    // Converts the picture into the wrapped sample's buffer on the first call. A picture that
    // cannot be converted leaves the buffer black (the sample keeps its place in the stream).
    HRESULT GetPointer(std::uint8_t** buffer) override;

    long GetSize() override { return m_sample->GetSize(); }
    HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) override {
        return m_sample->GetTime(start, stop);
    }
    HRESULT SetTime(const REFERENCE_TIME* start, const REFERENCE_TIME* stop) override {
        return m_sample->SetTime(start, stop);
    }
    HRESULT IsSyncPoint() override { return m_sample->IsSyncPoint(); }
    HRESULT SetSyncPoint(bool syncPoint) override { return m_sample->SetSyncPoint(syncPoint); }
    HRESULT IsPreroll() override { return m_sample->IsPreroll(); }
    HRESULT SetPreroll(bool preroll) override { return m_sample->SetPreroll(preroll); }
    long GetActualDataLength() override { return m_sample->GetActualDataLength(); }
    HRESULT SetActualDataLength(long length) override {
        return m_sample->SetActualDataLength(length);
    }
    HRESULT GetMediaType(AM_MEDIA_TYPE** type) override { return m_sample->GetMediaType(type); }
    HRESULT SetMediaType(const AM_MEDIA_TYPE* type) override {
        return m_sample->SetMediaType(type);
    }
    HRESULT IsDiscontinuity() override { return m_sample->IsDiscontinuity(); }
    HRESULT SetDiscontinuity(bool discontinuity) override {
        return m_sample->SetDiscontinuity(discontinuity);
    }
    HRESULT GetMediaTime(std::int64_t* start, std::int64_t* stop) override {
        return m_sample->GetMediaTime(start, stop);
    }
    HRESULT SetMediaTime(const std::int64_t* start, const std::int64_t* stop) override {
        return m_sample->SetMediaTime(start, stop);
    }

    // Whether the picture still waits for its conversion (for tests).
    bool Pending();

private:
    ~CLazyPictureSample() override = default;

    com::ComPtr<IMediaSample> m_sample;
    std::mutex m_mutex;
    LazyPicture m_picture;
};

} // namespace fz::media::ffmpeg
