#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace fz::dsp {

// The status record through which the two filters and the engine agree on where recording
// starts. The video filter owns it (GetStatusRecord hands out its address, valid while the
// filter exists); the audio filter reports into it (SetStatusRecord); the engine reads
// videoOffset. Five 32-bit fields in this order, 20 bytes.
//
// The fields are read and written by both filters' streaming threads and the engine's thread
// without a lock. Each is a lock-free atomic of 32 bits, so every read sees a whole value
// written by some thread (relaxed order is enough: no field publishes other memory).
struct StreamSyncRecord {
    // 1 once the audio filter has seen its first sample after Open; 0 after its Close.
    std::atomic<std::int32_t> audioStarted{0};
    // 1 after the audio filter's Close, 0 again at its first sample; while 1 the audio
    // filter writes nothing.
    std::atomic<std::int32_t> audioClosed{0};
    // Start of the video against the audio in ms; 0 = not known yet, a computed 0 is kept as 1.
    std::atomic<std::int32_t> videoOffset{0};
    // Stream time in ms of the first audio sample after Open.
    std::atomic<std::int32_t> audioFirstTime{0};
    // Stream time in ms of the latest audio sample.
    std::atomic<std::int32_t> audioLastTime{0};
};

static_assert(sizeof(StreamSyncRecord) == 20, "five 32-bit fields");
static_assert(std::atomic<std::int32_t>::is_always_lock_free);
static_assert(offsetof(StreamSyncRecord, audioStarted) == 0);
static_assert(offsetof(StreamSyncRecord, audioClosed) == 4);
static_assert(offsetof(StreamSyncRecord, videoOffset) == 8);
static_assert(offsetof(StreamSyncRecord, audioFirstTime) == 12);
static_assert(offsetof(StreamSyncRecord, audioLastTime) == 16);

inline std::int32_t Load(const std::atomic<std::int32_t>& field) {
    return field.load(std::memory_order_relaxed);
}
inline void Store(std::atomic<std::int32_t>& field, std::int32_t value) {
    field.store(value, std::memory_order_relaxed);
}

} // namespace fz::dsp
