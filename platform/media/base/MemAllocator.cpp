#include "platform/media/base/MemAllocator.h"

#include "platform/media/base/MediaSample.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace fz::media {

using com::E_POINTER;
using com::S_OK;

CMemAllocator::CMemAllocator(IUnknown* outer)
    : AggregatableObject(outer) {}

CMemAllocator::~CMemAllocator() {
    std::lock_guard lock(m_mutex);
    FreeBuffersLocked();
}

HRESULT CMemAllocator::NonDelegatingQueryInterface(const IID& iid, void** object) {
    if (iid == IMemAllocator::kIid)
        return com::GetInterface(static_cast<IMemAllocator*>(this), object);
    return AggregatableObject::NonDelegatingQueryInterface(iid, object);
}

HRESULT CMemAllocator::SetProperties(const ALLOCATOR_PROPERTIES* request,
                                     ALLOCATOR_PROPERTIES* actual) {
    if (!request || !actual)
        return E_POINTER;
    std::lock_guard lock(m_mutex);
    if (m_committed)
        return VFW_E_ALREADY_COMMITTED;
    if (m_all.size() != m_free.size())
        return VFW_E_BUFFERS_OUTSTANDING;
    if (request->cBuffers < 0 || request->cbBuffer < 0 || request->cbPrefix < 0 ||
        request->cbAlign < 0)
        return com::E_INVALIDARG;
    const long align = request->cbAlign == 0 ? 1 : request->cbAlign;
    if ((align & (align - 1)) != 0)
        return VFW_E_BADALIGN;
    // Each buffer is allocated on its own; the size is rounded up to the alignment.
    const long long size = (static_cast<long long>(request->cbBuffer) + align - 1) / align * align;
    if (size > std::numeric_limits<std::int32_t>::max() || request->cBuffers > 4096)
        return com::E_OUTOFMEMORY;
    m_properties.cBuffers = std::max(1L, request->cBuffers);
    m_properties.cbBuffer = static_cast<long>(size);
    m_properties.cbAlign = align;
    m_properties.cbPrefix = request->cbPrefix;
    m_propertiesSet = true;
    *actual = m_properties;
    return S_OK;
}

HRESULT CMemAllocator::GetProperties(ALLOCATOR_PROPERTIES* properties) {
    if (!properties)
        return E_POINTER;
    std::lock_guard lock(m_mutex);
    *properties = m_properties;
    return S_OK;
}

HRESULT CMemAllocator::Commit() {
    std::lock_guard lock(m_mutex);
    if (m_committed)
        return S_OK;
    if (!m_propertiesSet)
        return VFW_E_SIZENOTSET;
    if (m_decommitPending) {
        // Samples of the last run are still out; keep the pool as it is.
        m_decommitPending = false;
        m_committed = true;
        return S_OK;
    }
    if (m_all.empty()) {
        for (long i = 0; i < m_properties.cBuffers; ++i) {
            const std::size_t bytes =
                static_cast<std::size_t>(m_properties.cbBuffer + m_properties.cbPrefix);
            auto* buffer =
                static_cast<std::uint8_t*>(std::calloc(std::max<std::size_t>(bytes, 1), 1));
            if (!buffer) {
                FreeBuffersLocked();
                return com::E_OUTOFMEMORY;
            }
            m_buffers.push_back(buffer);
            auto* sample = new (std::nothrow)
                CMediaSample(this, buffer + m_properties.cbPrefix, m_properties.cbBuffer);
            if (!sample) {
                FreeBuffersLocked();
                return com::E_OUTOFMEMORY;
            }
            // A pooled sample rests with a count of 0 (GetBuffer adds the caller's).
            sample->Release();
            m_all.push_back(sample);
            m_free.push_back(sample);
        }
    }
    m_committed = true;
    return S_OK;
}

HRESULT CMemAllocator::Decommit() {
    std::lock_guard lock(m_mutex);
    if (!m_committed)
        return S_OK;
    m_committed = false;
    if (m_all.size() == m_free.size())
        FreeBuffersLocked();
    else
        m_decommitPending = true;
    m_returned.notify_all();
    return S_OK;
}

HRESULT CMemAllocator::GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                                 std::uint32_t flags) {
    if (!sample)
        return E_POINTER;
    *sample = nullptr;
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (!m_committed)
            return VFW_E_NOT_COMMITTED;
        if (!m_free.empty())
            break;
        if (flags & AM_GBF_NOWAIT)
            return VFW_E_TIMEOUT;
        m_returned.wait(lock);
    }
    CMediaSample* taken = m_free.back();
    m_free.pop_back();
    const bool firstOut = m_free.size() + 1 == m_all.size();
    lock.unlock();
    if (firstOut)
        NonDelegatingAddRef(); // kept while samples are out
    taken->MarkHandedOut();
    taken->AddRef();
    if (start)
        taken->SetTime(start, stop);
    *sample = taken;
    return S_OK;
}

HRESULT CMemAllocator::ReleaseBuffer(IMediaSample* sample) {
    if (!sample)
        return E_POINTER;
    auto* returned = static_cast<CMediaSample*>(sample);
    returned->ResetProperties();
    bool lastIn = false;
    {
        std::lock_guard lock(m_mutex);
        m_free.push_back(returned);
        lastIn = m_free.size() == m_all.size();
        if (lastIn && m_decommitPending) {
            m_decommitPending = false;
            FreeBuffersLocked();
        }
        m_returned.notify_one();
    }
    if (lastIn)
        NonDelegatingRelease();
    return S_OK;
}

long CMemAllocator::OutstandingSamples() const {
    std::lock_guard lock(m_mutex);
    return static_cast<long>(m_all.size() - m_free.size());
}

void CMemAllocator::FreeBuffersLocked() {
    for (CMediaSample* sample : m_all)
        sample->Destroy();
    m_all.clear();
    m_free.clear();
    for (std::uint8_t* buffer : m_buffers)
        std::free(buffer);
    m_buffers.clear();
}

} // namespace fz::media
