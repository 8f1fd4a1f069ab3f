// The SIMD synthesis kernels against the portable one, which is the reference: SSE2 bit for bit,
// AVX2 (fused multiply-adds in the window sums) within one LSB, on blocks of odd sizes, both
// channels, interleaved and plain output, and input loud enough to reach the limits.
#include "fzctrl/play/mpa/MpaDecoder.h"
#include "fzctrl/play/mpa/MpaDecoderState.h"
#include "fzctrl/play/mpa/MpaSynthesisKernels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace fz {
namespace {

bool ProcessorRunsAvx2() {
#if defined(__x86_64__)
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
    return false;
#endif
}

// The AVX2 kernel when this build has it and the processor runs it.
const mpa::SynthesisKernel* RunnableAvx2() {
    return ProcessorRunsAvx2() ? mpa::Avx2SynthesisKernel() : nullptr;
}

struct KernelRun {
    std::vector<std::int16_t> pcm;
};

// Runs `kernel` over the same sequence of blocks for both channels, stereo-interleaved, and
// then a mono tail on channel 0 with stride 1.
KernelRun Run(const mpa::SynthesisKernel& kernel, std::uint32_t seed) {
    const mpa::SynthesisTables& tables = mpa::DecoderState().tables.synthesis;
    mpa::SynthesisState state;
    mpa::SynthesisReset(state);
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    KernelRun run;
    const int blockSlots[] = {1, 3, 18, 36, 5, 12, 2, 18, 7, 36, 4, 1};
    for (int round = 0; round < 4; ++round) {
        for (int slots : blockSlots) {
            std::vector<float> subbands(static_cast<std::size_t>(slots) * 32);
            for (std::size_t i = 0; i < subbands.size(); ++i) {
                const float gain =
                    (i / 32 + static_cast<std::size_t>(round)) % 11 == 3 ? 3.0f : 0.05f;
                subbands[i] = gain * uniform(random);
            }
            const auto* block = reinterpret_cast<const float(*)[32]>(subbands.data());
            std::vector<std::int16_t> pcm(static_cast<std::size_t>(slots) * 64);
            for (int ch = 0; ch < 2; ++ch)
                kernel.synthesize(state, ch, block, slots, pcm.data() + ch, 2, tables);
            run.pcm.insert(run.pcm.end(), pcm.begin(), pcm.end());
            std::vector<std::int16_t> mono(static_cast<std::size_t>(slots) * 32);
            kernel.synthesize(state, 0, block, slots, mono.data(), 1, tables);
            run.pcm.insert(run.pcm.end(), mono.begin(), mono.end());
        }
    }
    return run;
}

void Compare(const mpa::SynthesisKernel& kernel, int allowedLsb) {
    MpaInit();
    for (std::uint32_t seed = 1; seed <= 3; ++seed) {
        const KernelRun expected = Run(mpa::PortableSynthesisKernel(), seed);
        const KernelRun actual = Run(kernel, seed);
        ASSERT_EQ(actual.pcm.size(), expected.pcm.size());
        int worst = 0, differing = 0, limited = 0;
        for (std::size_t i = 0; i < expected.pcm.size(); ++i) {
            const int difference = std::abs(actual.pcm[i] - expected.pcm[i]);
            worst = std::max(worst, difference);
            differing += difference != 0;
            limited += expected.pcm[i] == 32767 || expected.pcm[i] == -32768;
        }
        std::printf("%s against portable, seed %u: %d of %zu samples differ, largest %d LSB, "
                    "%d limited\n",
                    kernel.name, seed, differing, expected.pcm.size(), worst, limited);
        EXPECT_LE(worst, allowedLsb) << kernel.name;
        EXPECT_GT(limited, 0);
    }
}

TEST(MpaSynthesisKernelTest, Sse2MatchesPortableBitForBit) {
    const mpa::SynthesisKernel* sse2 = mpa::Sse2SynthesisKernel();
    if (sse2 == nullptr)
        GTEST_SKIP() << "no SSE2 kernel in this build";
    Compare(*sse2, 0);
}

TEST(MpaSynthesisKernelTest, Avx2MatchesPortableWithinOneLsb) {
    const mpa::SynthesisKernel* avx2 = RunnableAvx2();
    if (avx2 == nullptr)
        GTEST_SKIP() << "no AVX2 kernel in this build or processor";
    Compare(*avx2, 1);
}

TEST(MpaSynthesisKernelTest, NonFiniteInputGivesTheSameLimitsInEveryKernel) {
    MpaInit();
    const mpa::SynthesisTables& tables = mpa::DecoderState().tables.synthesis;
    const mpa::SynthesisKernel* kernels[] = {&mpa::PortableSynthesisKernel(),
                                             mpa::Sse2SynthesisKernel(), RunnableAvx2()};
    float block[6][32];
    for (int s = 0; s < 6; ++s)
        for (int k = 0; k < 32; ++k)
            block[s][k] = s == 1   ? std::numeric_limits<float>::quiet_NaN()
                          : s == 3 ? (k & 1 ? -1.0f : 1.0f) * std::numeric_limits<float>::infinity()
                                   : 0.01f * static_cast<float>(k - 16);
    std::vector<std::int16_t> reference;
    for (const mpa::SynthesisKernel* kernel : kernels) {
        if (kernel == nullptr)
            continue;
        mpa::SynthesisState state;
        mpa::SynthesisReset(state);
        std::vector<std::int16_t> pcm(6 * 32);
        kernel->synthesize(state, 1, block, 6, pcm.data(), 1, tables);
        if (reference.empty())
            reference = pcm;
        else
            EXPECT_EQ(pcm, reference) << kernel->name;
    }
}

TEST(MpaSynthesisKernelTest, TheSelectedKernelIsOneOfThem) {
    const mpa::SynthesisKernel& selected = mpa::SelectedSynthesisKernel();
    const char* setting = std::getenv("FRAMZEL_SIMD");
    if (setting != nullptr && std::string(setting) == "0") {
        EXPECT_EQ(&selected, &mpa::PortableSynthesisKernel());
    }
    EXPECT_TRUE(&selected == &mpa::PortableSynthesisKernel() ||
                &selected == mpa::Sse2SynthesisKernel() || &selected == mpa::Avx2SynthesisKernel());
    std::printf("synthesis kernel: %s\n", selected.name);
}

} // namespace
} // namespace fz
