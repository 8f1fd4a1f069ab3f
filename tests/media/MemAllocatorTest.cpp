#include "platform/media/base/MemAllocator.h"
#include "platform/com/ComPtr.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace fz::media;
using fz::com::ComPtr;
using fz::com::S_OK;
using namespace std::chrono_literals;

ComPtr<IMemAllocator> CommittedAllocator(long count, long size, ALLOCATOR_PROPERTIES* granted) {
    ComPtr<IMemAllocator> allocator;
    allocator.Attach(new CMemAllocator);
    ALLOCATOR_PROPERTIES request{count, size, 1, 0};
    EXPECT_EQ(allocator->SetProperties(&request, granted), S_OK);
    EXPECT_EQ(allocator->Commit(), S_OK);
    return allocator;
}

TEST(MemAllocatorTest, PropertiesAreAgreedBeforeCommit) {
    ComPtr<IMemAllocator> allocator;
    allocator.Attach(new CMemAllocator);
    EXPECT_EQ(allocator->Commit(), VFW_E_SIZENOTSET);
    IMediaSample* sample = nullptr;
    EXPECT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);

    ALLOCATOR_PROPERTIES request{0, 100, 16, 0};
    ALLOCATOR_PROPERTIES actual;
    ASSERT_EQ(allocator->SetProperties(&request, &actual), S_OK);
    EXPECT_EQ(actual.cBuffers, 1) << "at least one buffer";
    EXPECT_EQ(actual.cbBuffer, 112) << "rounded up to the alignment";
    request.cbAlign = 3;
    EXPECT_EQ(allocator->SetProperties(&request, &actual), VFW_E_BADALIGN);

    ASSERT_EQ(allocator->Commit(), S_OK);
    request = {2, 50, 1, 0};
    EXPECT_EQ(allocator->SetProperties(&request, &actual), VFW_E_ALREADY_COMMITTED);
    ASSERT_EQ(allocator->GetBuffer(&sample, nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(sample->GetSize(), 112);
    allocator->Decommit();
    EXPECT_EQ(allocator->SetProperties(&request, &actual), VFW_E_BUFFERS_OUTSTANDING)
        << "a sample of the old pool is still out";
    sample->Release();
    EXPECT_EQ(allocator->SetProperties(&request, &actual), S_OK);
}

TEST(MemAllocatorTest, OneBufferIsReusedWithItsBytesAndLength) {
    ALLOCATOR_PROPERTIES granted;
    ComPtr<IMemAllocator> allocator = CommittedAllocator(1, 32, &granted);
    IMediaSample* first = nullptr;
    ASSERT_EQ(allocator->GetBuffer(&first, nullptr, nullptr, 0), S_OK);
    std::uint8_t* bytes = nullptr;
    first->GetPointer(&bytes);
    EXPECT_EQ(bytes[0], 0) << "a new buffer starts zeroed";
    std::memset(bytes, 0xAB, 32);
    first->SetActualDataLength(20);
    const REFERENCE_TIME start = 5;
    const REFERENCE_TIME stop = 6;
    first->SetTime(&start, &stop);
    first->SetSyncPoint(true);
    EXPECT_EQ(first->Release(), 0u);

    IMediaSample* second = nullptr;
    ASSERT_EQ(allocator->GetBuffer(&second, nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(second, first) << "the same sample comes back";
    std::uint8_t* again = nullptr;
    second->GetPointer(&again);
    EXPECT_EQ(again, bytes);
    EXPECT_EQ(again[19], 0xAB) << "the bytes it last held";
    EXPECT_EQ(second->GetActualDataLength(), 20);
    REFERENCE_TIME a = 0;
    REFERENCE_TIME b = 0;
    EXPECT_EQ(second->GetTime(&a, &b), VFW_E_SAMPLE_TIME_NOT_SET) << "times are cleared";
    EXPECT_EQ(second->IsSyncPoint(), fz::com::S_FALSE);

    IMediaSample* none = nullptr;
    EXPECT_EQ(allocator->GetBuffer(&none, nullptr, nullptr, AM_GBF_NOWAIT), VFW_E_TIMEOUT);
    second->Release();
    allocator->Decommit();
}

TEST(MemAllocatorTest, GetBufferWaitsForARelease) {
    ALLOCATOR_PROPERTIES granted;
    ComPtr<IMemAllocator> allocator = CommittedAllocator(1, 16, &granted);
    IMediaSample* held = nullptr;
    ASSERT_EQ(allocator->GetBuffer(&held, nullptr, nullptr, 0), S_OK);

    std::atomic<bool> got{false};
    std::thread waiter([&] {
        IMediaSample* sample = nullptr;
        if (allocator->GetBuffer(&sample, nullptr, nullptr, 0) == S_OK) {
            got = true;
            sample->Release();
        }
    });
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(got) << "blocked while the only buffer is held";
    held->Release();
    waiter.join();
    EXPECT_TRUE(got);
    allocator->Decommit();
}

TEST(MemAllocatorTest, DecommitReleasesEveryWaiterAndFreesAfterTheLastReturn) {
    ALLOCATOR_PROPERTIES granted;
    ComPtr<IMemAllocator> allocator = CommittedAllocator(1, 16, &granted);
    auto* raw = static_cast<CMemAllocator*>(allocator.Get());
    IMediaSample* held = nullptr;
    ASSERT_EQ(allocator->GetBuffer(&held, nullptr, nullptr, 0), S_OK);

    std::atomic<int> refused{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.emplace_back([&] {
            IMediaSample* sample = nullptr;
            if (allocator->GetBuffer(&sample, nullptr, nullptr, 0) == VFW_E_NOT_COMMITTED)
                ++refused;
        });
    std::this_thread::sleep_for(50ms);
    ASSERT_EQ(allocator->Decommit(), S_OK);
    for (std::thread& waiter : waiters)
        waiter.join();
    EXPECT_EQ(refused, 3);
    EXPECT_EQ(raw->OutstandingSamples(), 1);

    // The allocator lives on while a sample is out, even without other references.
    allocator.Reset();
    std::uint8_t* bytes = nullptr;
    held->GetPointer(&bytes);
    bytes[15] = 1;
    held->Release(); // frees the pool and the allocator (ASan checks both)
}

} // namespace
