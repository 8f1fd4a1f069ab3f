#pragma once

#include "platform/com/ComObject.h"
#include "platform/media/base/MediaInterfaces.h"

#include <cstdint>
#include <mutex>

namespace fz::media {

// A sample of an allocator's pool (MemAllocator.h): a buffer the allocator owns, and the
// properties of the data it holds. Its last Release does not delete it: the sample goes back
// to its allocator (IMemAllocator::ReleaseBuffer), which clears its times, flags and type and
// keeps the data length and the bytes, so a pool of one buffer hands out the same bytes again.
//
// A sample is used by one thread at a time (the streaming thread that holds it); its
// reference count may be changed from any thread.
class CMediaSample : public com::ComObject<IMediaSample> {
public:
    // `buffer` of `size` bytes belongs to `allocator`, which outlives the sample.
    CMediaSample(IMemAllocator* allocator, std::uint8_t* buffer, long size);

    HRESULT GetPointer(std::uint8_t** buffer) override;
    long GetSize() override;
    HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) override;
    HRESULT SetTime(const REFERENCE_TIME* start, const REFERENCE_TIME* stop) override;
    HRESULT IsSyncPoint() override;
    HRESULT SetSyncPoint(bool syncPoint) override;
    HRESULT IsPreroll() override;
    HRESULT SetPreroll(bool preroll) override;
    long GetActualDataLength() override;
    HRESULT SetActualDataLength(long length) override;
    HRESULT GetMediaType(AM_MEDIA_TYPE** type) override;
    HRESULT SetMediaType(const AM_MEDIA_TYPE* type) override;
    HRESULT IsDiscontinuity() override;
    HRESULT SetDiscontinuity(bool discontinuity) override;
    HRESULT GetMediaTime(std::int64_t* start, std::int64_t* stop) override;
    HRESULT SetMediaTime(const std::int64_t* start, const std::int64_t* stop) override;

    // For the allocator: clears the properties of the last use (not the data length).
    void ResetProperties();
    // For the allocator: the sample's storage (when it frees or replaces the buffers).
    void SetBuffer(std::uint8_t* buffer, long size);
    // For the allocator: deletes a sample of its pool (it must be back in the pool).
    void Destroy() { delete this; }
    // For the allocator: the sample is handed out; its last Release returns it.
    void MarkHandedOut() { m_handedOut = true; }

protected:
    ~CMediaSample() override;
    void FinalRelease() override;

private:
    IMemAllocator* m_allocator;
    bool m_handedOut = false;
    std::uint8_t* m_buffer;
    long m_size;
    long m_actual;
    bool m_startValid = false;
    bool m_stopValid = false;
    REFERENCE_TIME m_start = 0;
    REFERENCE_TIME m_stop = 0;
    bool m_mediaTimeValid = false;
    std::int64_t m_mediaStart = 0;
    std::int64_t m_mediaStop = 0;
    bool m_syncPoint = false;
    bool m_preroll = false;
    bool m_discontinuity = false;
    AM_MEDIA_TYPE* m_type = nullptr;
};

// Copies the properties that describe a sample's place in the stream from one sample to
// another: start and stop time, media times, sync point, preroll and discontinuity (not the
// type, not the data). E_UNEXPECTED when a flag query answers neither S_OK nor S_FALSE.
HRESULT CopySampleProperties(IMediaSample* from, IMediaSample* to);

} // namespace fz::media
