// The resampler to 8000 Hz: its frequency response at the movie writer's input rates
// (passband ripple over 100 Hz - 3 kHz, attenuation of a 5 kHz tone, which would alias to
// 3 kHz), and its throughput in input samples per second, against the unity-gain equal-rate
// path (a plain copy of the block) measured in the same run.
#include "fzctrl/convert/Resampler.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kBlock = 1024; // samples per call, as the movie writer passes them
constexpr int kOutputRate = 8000;

std::unique_ptr<fz::ResamplerState> MakeResampler(int inputRate) {
    auto state = std::make_unique<fz::ResamplerState>();
    fz::ResamplerSize(state.get());
    fz::ResamplerSetup(state.get(), inputRate, kOutputRate, 1);
    return state;
}

// The RMS gain of the resampler for a tone of `frequency` Hz at amplitude 8000, measured over
// about 4 s of output after the first second.
double ToneGain(int inputRate, double frequency) {
    auto state = MakeResampler(inputRate);
    const double pi = std::acos(-1.0);
    const double amplitude = 8000;
    const int blocks = 5 * inputRate / kBlock;
    std::vector<std::int16_t> in(kBlock);
    std::vector<std::int16_t> out(kBlock * 2);
    double sumSquares = 0;
    long counted = 0;
    long produced = 0;
    for (int b = 0; b < blocks; ++b) {
        for (int n = 0; n < kBlock; ++n) {
            const double t = static_cast<double>(b * kBlock + n) / inputRate;
            in[static_cast<std::size_t>(n)] = static_cast<std::int16_t>(
                std::lround(amplitude * std::sin(2 * pi * frequency * t)));
        }
        const int got = fz::ResamplerProcess(state.get(), in.data(), out.data(), kBlock, 0);
        for (int n = 0; n < got; ++n, ++produced) {
            if (produced < kOutputRate)
                continue;
            sumSquares += static_cast<double>(out[static_cast<std::size_t>(n)]) *
                          out[static_cast<std::size_t>(n)];
            ++counted;
        }
    }
    return std::sqrt(sumSquares / static_cast<double>(counted)) / (amplitude / std::sqrt(2.0));
}

void PrintFrequencyResponse() {
    std::printf("resampler to %d Hz, tones at amplitude 8000, 1024-sample blocks\n", kOutputRate);
    std::printf("%8s %12s %14s %14s %16s\n", "input Hz", "gain 1 kHz", "ripple dB", "(min..max dB)",
                "5 kHz atten. dB");
    for (int rate : {44100, 22050, 11025}) {
        const double reference = ToneGain(rate, 1000);
        double lowest = 1e9;
        double highest = -1e9;
        for (int f = 100; f <= 3000; f += 100) {
            const double db = 20 * std::log10(ToneGain(rate, f) / reference);
            lowest = std::min(lowest, db);
            highest = std::max(highest, db);
        }
        const double stop = 20 * std::log10(ToneGain(rate, 5000) / reference);
        std::printf("%8d %12.4f %14.3f %6.2f..%-6.2f %16.1f\n", rate, reference, highest - lowest,
                    lowest, highest, -stop);
    }
    std::printf("\n");
}

void Resample(benchmark::State& bench, int inputRate) {
    auto state = MakeResampler(inputRate);
    std::vector<std::int16_t> in(kBlock);
    std::uint32_t seed = 1;
    for (auto& s : in) {
        seed = seed * 1103515245u + 12345u;
        s = static_cast<std::int16_t>((seed >> 16) - 32768);
    }
    std::vector<std::int16_t> out(kBlock * 2);
    for (auto _ : bench) {
        benchmark::DoNotOptimize(
            fz::ResamplerProcess(state.get(), in.data(), out.data(), kBlock, 0));
        benchmark::ClobberMemory();
    }
    bench.SetItemsProcessed(bench.iterations() * kBlock);
}

void BM_EqualRatesCopy(benchmark::State& bench) {
    Resample(bench, kOutputRate);
}
void BM_Resample44100(benchmark::State& bench) {
    Resample(bench, 44100);
}
void BM_Resample22050(benchmark::State& bench) {
    Resample(bench, 22050);
}
void BM_Resample11025(benchmark::State& bench) {
    Resample(bench, 11025);
}
BENCHMARK(BM_EqualRatesCopy);
BENCHMARK(BM_Resample44100);
BENCHMARK(BM_Resample22050);
BENCHMARK(BM_Resample11025);

// Prints the usual table, then each benchmark's input samples per second and its ratio to the
// equal-rate copy.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            auto it = run.counters.find("items_per_second");
            if (it != run.counters.end())
                m_rates[run.benchmark_name()] = it->second.value;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const double baseline =
            m_rates.count("BM_EqualRatesCopy") ? m_rates["BM_EqualRatesCopy"] : 0;
        std::printf("\n%-20s %18s %12s\n", "benchmark", "input samples/s", "vs. copy");
        for (const auto& [name, rate] : m_rates)
            std::printf("%-20s %18.0f %12.4f\n", name.c_str(), rate,
                        baseline > 0 ? rate / baseline : 0.0);
    }

private:
    std::map<std::string, double> m_rates;
};

} // namespace

int main(int argc, char** argv) {
    PrintFrequencyResponse();
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
