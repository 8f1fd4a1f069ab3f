#pragma once

#include <cstdint>

namespace fz {

// The state of one resampler, allocated by the caller (ResamplerSize gives its size), zeroed,
// then filled by ResamplerSetup. All positions and ratios are unsigned fixed point: Q24 for the
// rate ratios, Q20 (2^20 = one input sample, or one zero crossing of the table) for time and
// table steps.
inline constexpr int kResamplerHistoryLength = 2048; // input samples per channel
inline constexpr int kResamplerMaxChannels = 2;

struct ResamplerFilterState {
    std::int16_t history[kResamplerMaxChannels][kResamplerHistoryLength]; // past and current input
    std::uint16_t scale;            // output scale in use: base scale x gain, rounded (Q12 gain)
    std::uint16_t baseScale;        // 6564, or 6564 x ratio, rounded, when down-sampling
    std::uint16_t wingLength;       // 1536 table entries
    std::uint16_t filterLength;     // 13 zero crossings
    std::uint16_t offset;           // Xoff: input samples needed on each side of an output instant
    std::uint16_t kept;             // 2 x Xoff: history samples carried from block to block
    const std::int16_t* table;      // the coefficient wing
    const std::int16_t* deltaTable; // differences of neighbouring coefficients
    std::uint32_t ratio;            // output rate / input rate, Q24
    std::uint32_t tableStep;        // the ratio in Q20, rounded, at most 1.0
    std::uint32_t timeStep;         // input rate / output rate, Q20, rounded
    std::uint32_t time; // the next output instant in input samples, Q20, from history[0]
};

struct ResamplerState {
    std::int32_t inputRate;       // Hz
    std::int32_t outputRate;      // Hz
    std::int32_t blockLength;     // samples in the current call
    std::int32_t produced;        // samples produced by the current call, or -1
    std::int32_t channels;        // 1
    std::int32_t gain;            // Q12 gain of the current call (4096 = unity)
    ResamplerFilterState* filter; // the filter state below
    ResamplerFilterState filterState;
};

} // namespace fz
