#pragma once

#include "fzdsp/filters/CMovieAudioDsp.h"
#include "fzdsp/filters/CMovieVideoDsp.h"
#include "platform/com/AggregatableObject.h"
#include "platform/com/ComPtr.h"
#include "platform/media/base/MemAllocator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace fz::dsp::test {

// A filter made as the library's class factory makes it, held through its control interface;
// the filter's own methods (the media-type checks, Transform) through Filter().
template <class Filter, class Control>
class FilterUnderTest {
public:
    FilterUnderTest() {
        void* object = nullptr;
        EXPECT_EQ(com::CreateAggregatableInstanceOf<Filter>(nullptr, Control::kIid, &object),
                  com::S_OK);
        m_control.Attach(static_cast<Control*>(object));
    }
    Control* operator->() const { return m_control.Get(); }
    Control* Get() const { return m_control.Get(); }
    Filter& FilterObject() const { return *static_cast<Filter*>(m_control.Get()); }

private:
    com::ComPtr<Control> m_control;
};

using VideoFilter = FilterUnderTest<CMovieVideoDsp, IMovieVideoDsp>;
using AudioFilter = FilterUnderTest<CMovieAudioDsp, IMovieAudioDsp>;

// Samples as an upstream filter and a downstream allocator would hand them to Transform: a
// committed allocator of `count` buffers of `size` bytes.
class SamplePool {
public:
    SamplePool(long count, long size) {
        m_allocator.Attach(new media::CMemAllocator);
        media::ALLOCATOR_PROPERTIES request{count, size, 1, 0};
        media::ALLOCATOR_PROPERTIES actual;
        EXPECT_EQ(m_allocator->SetProperties(&request, &actual), com::S_OK);
        EXPECT_EQ(m_allocator->Commit(), com::S_OK);
    }
    ~SamplePool() { m_allocator->Decommit(); }

    // A sample holding `bytes`, timed [startMs, startMs + 1) unless `timed` is false.
    com::ComPtr<media::IMediaSample> Sample(const std::vector<std::uint8_t>& bytes,
                                            std::int64_t startMs, bool timed = true) {
        com::ComPtr<media::IMediaSample> sample = Buffer();
        std::uint8_t* data = nullptr;
        sample->GetPointer(&data);
        if (!bytes.empty())
            std::memcpy(data, bytes.data(), bytes.size());
        sample->SetActualDataLength(static_cast<long>(bytes.size()));
        if (timed) {
            const media::REFERENCE_TIME start = startMs * media::kUnitsPerMs;
            const media::REFERENCE_TIME stop = start + media::kUnitsPerMs;
            sample->SetTime(&start, &stop);
        }
        return sample;
    }
    com::ComPtr<media::IMediaSample> Buffer() {
        com::ComPtr<media::IMediaSample> sample;
        EXPECT_EQ(m_allocator->GetBuffer(sample.ReleaseAndGetAddressOf(), nullptr, nullptr, 0),
                  com::S_OK);
        return sample;
    }

private:
    com::ComPtr<media::IMemAllocator> m_allocator;
};

} // namespace fz::dsp::test
