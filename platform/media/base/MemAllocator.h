#pragma once

#include "platform/com/AggregatableObject.h"
#include "platform/media/base/MediaInterfaces.h"

#include <condition_variable>
#include <mutex>
#include <vector>

namespace fz::media {

class CMediaSample;

// The allocator of a connection: a fixed pool of buffers of one size, agreed when the pins
// connect (the output pin's DecideBufferSize calls SetProperties). The buffers are
// allocated by Commit (when the output pin becomes active) and freed after Decommit (when it
// becomes inactive) once every sample is back.
//
// GetBuffer is called by the upstream streaming thread and waits while all samples are out;
// a sample returns when its holder releases it (any thread), which wakes one waiter.
// Decommit (the graph's Stop, any thread) wakes every waiter with VFW_E_NOT_COMMITTED. The
// allocator holds a reference on itself while samples are out, so a sample may outlive the
// pins that used it. Buffers start zeroed; a reused buffer keeps its bytes and data length.
class CMemAllocator : public com::AggregatableObject, public IMemAllocator {
public:
    explicit CMemAllocator(IUnknown* outer = nullptr);

    FZ_COM_DELEGATING_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(const IID& iid, void** object) override;

    HRESULT SetProperties(const ALLOCATOR_PROPERTIES* request,
                          ALLOCATOR_PROPERTIES* actual) override;
    HRESULT GetProperties(ALLOCATOR_PROPERTIES* properties) override;
    HRESULT Commit() override;
    HRESULT Decommit() override;
    HRESULT GetBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                      std::uint32_t flags) override;
    HRESULT ReleaseBuffer(IMediaSample* sample) override;

    // How many samples are handed out (for tests).
    long OutstandingSamples() const;

protected:
    ~CMemAllocator() override;

private:
    void FreeBuffersLocked();

    mutable std::mutex m_mutex;
    std::condition_variable m_returned;
    ALLOCATOR_PROPERTIES m_properties;
    bool m_propertiesSet = false;
    bool m_committed = false;
    bool m_decommitPending = false; // free the buffers when the last sample returns
    std::vector<CMediaSample*> m_all;
    std::vector<CMediaSample*> m_free;
    std::vector<std::uint8_t*> m_buffers;
};

} // namespace fz::media
