#include "platform/media/base/MediaSample.h"
#include "platform/com/ComPtr.h"
#include "platform/media/base/MemAllocator.h"

#include <gtest/gtest.h>

namespace {

using namespace fz::media;
using fz::com::ComPtr;
using fz::com::E_UNEXPECTED;
using fz::com::S_FALSE;
using fz::com::S_OK;

// One sample of a committed one-buffer allocator of 64 bytes.
class MediaSampleTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_allocator.Attach(new CMemAllocator);
        ALLOCATOR_PROPERTIES request{1, 64, 1, 0};
        ALLOCATOR_PROPERTIES actual;
        ASSERT_EQ(m_allocator->SetProperties(&request, &actual), S_OK);
        ASSERT_EQ(m_allocator->Commit(), S_OK);
        ASSERT_EQ(m_allocator->GetBuffer(m_sample.ReleaseAndGetAddressOf(), nullptr, nullptr, 0),
                  S_OK);
    }
    void TearDown() override {
        m_sample.Reset();
        m_allocator->Decommit();
    }

    ComPtr<IMemAllocator> m_allocator;
    ComPtr<IMediaSample> m_sample;
};

TEST_F(MediaSampleTest, TimeQueriesAnswerAsThePlatformDoes) {
    REFERENCE_TIME start = -5;
    REFERENCE_TIME stop = -5;
    EXPECT_EQ(m_sample->GetTime(&start, &stop), VFW_E_SAMPLE_TIME_NOT_SET);

    const REFERENCE_TIME setStart = 400000;
    const REFERENCE_TIME setStop = 800000;
    ASSERT_EQ(m_sample->SetTime(&setStart, nullptr), S_OK);
    EXPECT_EQ(m_sample->GetTime(&start, &stop), VFW_S_NO_STOP_TIME);
    EXPECT_EQ(start, 400000);
    EXPECT_EQ(stop, 400001) << "without a stop time, stop is start + 1";

    ASSERT_EQ(m_sample->SetTime(&setStart, &setStop), S_OK);
    EXPECT_EQ(m_sample->GetTime(&start, &stop), S_OK);
    EXPECT_EQ(stop, 800000);
    ASSERT_EQ(m_sample->SetTime(nullptr, nullptr), S_OK);
    EXPECT_EQ(m_sample->GetTime(&start, &stop), VFW_E_SAMPLE_TIME_NOT_SET);

    std::int64_t mediaStart = 0;
    std::int64_t mediaStop = 0;
    EXPECT_EQ(m_sample->GetMediaTime(&mediaStart, &mediaStop), VFW_E_MEDIA_TIME_NOT_SET);
    const std::int64_t frames[2] = {10, 11};
    ASSERT_EQ(m_sample->SetMediaTime(&frames[0], &frames[1]), S_OK);
    EXPECT_EQ(m_sample->GetMediaTime(&mediaStart, &mediaStop), S_OK);
    EXPECT_EQ(mediaStart, 10);
    EXPECT_EQ(mediaStop, 11);
}

TEST_F(MediaSampleTest, FlagsLengthAndTypeQueries) {
    struct Flag {
        const char* name;
        HRESULT (IMediaSample::*query)();
        HRESULT (IMediaSample::*set)(bool);
    };
    const Flag flags[] = {
        {"sync point", &IMediaSample::IsSyncPoint, &IMediaSample::SetSyncPoint},
        {"preroll", &IMediaSample::IsPreroll, &IMediaSample::SetPreroll},
        {"discontinuity", &IMediaSample::IsDiscontinuity, &IMediaSample::SetDiscontinuity},
    };
    for (const Flag& flag : flags) {
        IMediaSample* sample = m_sample.Get();
        EXPECT_EQ((sample->*flag.query)(), S_FALSE) << flag.name;
        (sample->*flag.set)(true);
        EXPECT_EQ((sample->*flag.query)(), S_OK) << flag.name;
        (sample->*flag.set)(false);
        EXPECT_EQ((sample->*flag.query)(), S_FALSE) << flag.name;
    }

    EXPECT_EQ(m_sample->GetSize(), 64);
    EXPECT_EQ(m_sample->SetActualDataLength(65), VFW_E_BUFFER_OVERFLOW);
    EXPECT_EQ(m_sample->SetActualDataLength(-1), VFW_E_BUFFER_OVERFLOW);
    EXPECT_EQ(m_sample->SetActualDataLength(64), S_OK);
    EXPECT_EQ(m_sample->GetActualDataLength(), 64);

    AM_MEDIA_TYPE* type = reinterpret_cast<AM_MEDIA_TYPE*>(1);
    EXPECT_EQ(m_sample->GetMediaType(&type), S_FALSE);
    EXPECT_EQ(type, nullptr);
    const CMediaType pcm = MakePcmType(22050, 2, 16);
    ASSERT_EQ(m_sample->SetMediaType(&pcm), S_OK);
    ASSERT_EQ(m_sample->GetMediaType(&type), S_OK);
    ASSERT_NE(type, nullptr);
    EXPECT_TRUE(MediaTypesEqual(*type, pcm)) << "a deep copy of the attached type";
    EXPECT_NE(type->pbFormat, pcm.pbFormat);
    DeleteMediaType(type);
    ASSERT_EQ(m_sample->SetMediaType(nullptr), S_OK);
    EXPECT_EQ(m_sample->GetMediaType(&type), S_FALSE);
}

// A sample whose flag queries answer something else than S_OK / S_FALSE.
class CBrokenFlagSample final : public fz::com::ComObject<IMediaSample> {
public:
    HRESULT GetPointer(std::uint8_t**) override { return fz::com::E_NOTIMPL; }
    long GetSize() override { return 0; }
    HRESULT GetTime(REFERENCE_TIME* start, REFERENCE_TIME* stop) override {
        *start = 7;
        *stop = 9;
        return S_OK;
    }
    HRESULT SetTime(const REFERENCE_TIME*, const REFERENCE_TIME*) override { return S_OK; }
    HRESULT IsSyncPoint() override { return S_OK; }
    HRESULT SetSyncPoint(bool) override { return S_OK; }
    HRESULT IsPreroll() override { return fz::com::E_FAIL; }
    HRESULT SetPreroll(bool) override { return S_OK; }
    long GetActualDataLength() override { return 0; }
    HRESULT SetActualDataLength(long) override { return S_OK; }
    HRESULT GetMediaType(AM_MEDIA_TYPE** type) override {
        *type = nullptr;
        return S_FALSE;
    }
    HRESULT SetMediaType(const AM_MEDIA_TYPE*) override { return S_OK; }
    HRESULT IsDiscontinuity() override { return S_OK; }
    HRESULT SetDiscontinuity(bool) override { return S_OK; }
    HRESULT GetMediaTime(std::int64_t*, std::int64_t*) override { return VFW_E_MEDIA_TIME_NOT_SET; }
    HRESULT SetMediaTime(const std::int64_t*, const std::int64_t*) override { return S_OK; }
};

TEST_F(MediaSampleTest, CopiedPropertiesAndAFlagQueryThatFails) {
    ComPtr<IMediaSample> other;
    // A second allocator for the target sample.
    ComPtr<IMemAllocator> allocator;
    allocator.Attach(new CMemAllocator);
    ALLOCATOR_PROPERTIES request{1, 8, 1, 0};
    ALLOCATOR_PROPERTIES actual;
    ASSERT_EQ(allocator->SetProperties(&request, &actual), S_OK);
    ASSERT_EQ(allocator->Commit(), S_OK);
    ASSERT_EQ(allocator->GetBuffer(other.ReleaseAndGetAddressOf(), nullptr, nullptr, 0), S_OK);

    const REFERENCE_TIME start = 100;
    const REFERENCE_TIME stop = 200;
    m_sample->SetTime(&start, &stop);
    m_sample->SetPreroll(true);
    m_sample->SetDiscontinuity(true);
    ASSERT_EQ(CopySampleProperties(m_sample.Get(), other.Get()), S_OK);
    REFERENCE_TIME a = 0;
    REFERENCE_TIME b = 0;
    EXPECT_EQ(other->GetTime(&a, &b), S_OK);
    EXPECT_EQ(a, 100);
    EXPECT_EQ(b, 200);
    EXPECT_EQ(other->IsSyncPoint(), S_FALSE);
    EXPECT_EQ(other->IsPreroll(), S_OK);
    EXPECT_EQ(other->IsDiscontinuity(), S_OK);

    ComPtr<IMediaSample> broken = fz::com::Adopt<IMediaSample>(new CBrokenFlagSample);
    EXPECT_EQ(CopySampleProperties(broken.Get(), other.Get()), E_UNEXPECTED);
    other.Reset();
    allocator->Decommit();
}

} // namespace
