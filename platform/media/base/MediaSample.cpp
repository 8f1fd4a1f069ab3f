#include "platform/media/base/MediaSample.h"

namespace fz::media {

using com::E_POINTER;
using com::E_UNEXPECTED;
using com::S_FALSE;
using com::S_OK;

CMediaSample::CMediaSample(IMemAllocator* allocator, std::uint8_t* buffer, long size)
    : m_allocator(allocator)
    , m_buffer(buffer)
    , m_size(size)
    , m_actual(size) {}

CMediaSample::~CMediaSample() {
    DeleteMediaType(m_type);
}

void CMediaSample::FinalRelease() {
    if (!m_handedOut)
        return; // resting in the pool
    m_handedOut = false;
    m_allocator->ReleaseBuffer(this);
}

HRESULT CMediaSample::GetPointer(std::uint8_t** buffer) {
    if (!buffer)
        return E_POINTER;
    *buffer = m_buffer;
    return S_OK;
}

long CMediaSample::GetSize() {
    return m_size;
}

HRESULT CMediaSample::GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) {
    if (!start || !stop)
        return E_POINTER;
    if (!m_startValid)
        return VFW_E_SAMPLE_TIME_NOT_SET;
    *start = m_start;
    if (!m_stopValid) {
        *stop = m_start + 1;
        return VFW_S_NO_STOP_TIME;
    }
    *stop = m_stop;
    return S_OK;
}

HRESULT CMediaSample::SetTime(const REFERENCE_TIME* start, const REFERENCE_TIME* stop) {
    m_startValid = start != nullptr;
    m_stopValid = start && stop;
    m_start = start ? *start : 0;
    m_stop = m_stopValid ? *stop : 0;
    return S_OK;
}

HRESULT CMediaSample::IsSyncPoint() {
    return m_syncPoint ? S_OK : S_FALSE;
}

HRESULT CMediaSample::SetSyncPoint(bool syncPoint) {
    m_syncPoint = syncPoint;
    return S_OK;
}

HRESULT CMediaSample::IsPreroll() {
    return m_preroll ? S_OK : S_FALSE;
}

HRESULT CMediaSample::SetPreroll(bool preroll) {
    m_preroll = preroll;
    return S_OK;
}

long CMediaSample::GetActualDataLength() {
    return m_actual;
}

HRESULT CMediaSample::SetActualDataLength(long length) {
    if (length < 0 || length > m_size)
        return VFW_E_BUFFER_OVERFLOW;
    m_actual = length;
    return S_OK;
}

HRESULT CMediaSample::GetMediaType(AM_MEDIA_TYPE** type) {
    if (!type)
        return E_POINTER;
    *type = nullptr;
    if (!m_type)
        return S_FALSE;
    *type = CreateMediaType(m_type);
    return *type ? S_OK : com::E_OUTOFMEMORY;
}

HRESULT CMediaSample::SetMediaType(const AM_MEDIA_TYPE* type) {
    DeleteMediaType(m_type);
    m_type = nullptr;
    if (!type)
        return S_OK;
    m_type = CreateMediaType(type);
    return m_type ? S_OK : com::E_OUTOFMEMORY;
}

HRESULT CMediaSample::IsDiscontinuity() {
    return m_discontinuity ? S_OK : S_FALSE;
}

HRESULT CMediaSample::SetDiscontinuity(bool discontinuity) {
    m_discontinuity = discontinuity;
    return S_OK;
}

HRESULT CMediaSample::GetMediaTime(std::int64_t* start, std::int64_t* stop) {
    if (!start || !stop)
        return E_POINTER;
    if (!m_mediaTimeValid)
        return VFW_E_MEDIA_TIME_NOT_SET;
    *start = m_mediaStart;
    *stop = m_mediaStop;
    return S_OK;
}

HRESULT CMediaSample::SetMediaTime(const std::int64_t* start, const std::int64_t* stop) {
    if (!start) {
        m_mediaTimeValid = false;
        return S_OK;
    }
    if (!stop)
        return E_POINTER;
    m_mediaTimeValid = true;
    m_mediaStart = *start;
    m_mediaStop = *stop;
    return S_OK;
}

void CMediaSample::ResetProperties() {
    m_startValid = m_stopValid = m_mediaTimeValid = false;
    m_syncPoint = m_preroll = m_discontinuity = false;
    DeleteMediaType(m_type);
    m_type = nullptr;
}

void CMediaSample::SetBuffer(std::uint8_t* buffer, long size) {
    m_buffer = buffer;
    m_size = size;
    if (m_actual > size)
        m_actual = size;
}

namespace {

// S_OK / S_FALSE of a flag query as a bool; anything else is unexpected.
HRESULT ReadFlag(HRESULT answer, bool* flag) {
    if (answer == S_OK)
        *flag = true;
    else if (answer == S_FALSE)
        *flag = false;
    else
        return E_UNEXPECTED;
    return S_OK;
}

} // namespace

HRESULT CopySampleProperties(IMediaSample* from, IMediaSample* to) {
    if (!from || !to)
        return E_POINTER;
    REFERENCE_TIME start = 0;
    REFERENCE_TIME stop = 0;
    const HRESULT times = from->GetTime(&start, &stop);
    if (times == S_OK)
        to->SetTime(&start, &stop);
    else if (times == VFW_S_NO_STOP_TIME)
        to->SetTime(&start, nullptr);
    else
        to->SetTime(nullptr, nullptr);
    std::int64_t mediaStart = 0;
    std::int64_t mediaStop = 0;
    if (from->GetMediaTime(&mediaStart, &mediaStop) == S_OK)
        to->SetMediaTime(&mediaStart, &mediaStop);
    else
        to->SetMediaTime(nullptr, nullptr);
    bool flag = false;
    if (ReadFlag(from->IsSyncPoint(), &flag) != S_OK)
        return E_UNEXPECTED;
    to->SetSyncPoint(flag);
    if (ReadFlag(from->IsPreroll(), &flag) != S_OK)
        return E_UNEXPECTED;
    to->SetPreroll(flag);
    if (ReadFlag(from->IsDiscontinuity(), &flag) != S_OK)
        return E_UNEXPECTED;
    to->SetDiscontinuity(flag);
    return S_OK;
}

} // namespace fz::media
