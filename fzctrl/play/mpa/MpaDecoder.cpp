// MpaInit, MpaDecodeInit and MpaDecodeFrame: the tables, the stream preparation and the
// dispatch of each frame to its layer decoder.
#include "fzctrl/play/mpa/MpaDecoder.h"

#include "fzctrl/play/mpa/MpaDecoderState.h"
#include "fzctrl/play/mpa/MpaFrameRules.h"
#include "fzctrl/play/mpa/MpaHeaderTables.h"
#include "fzctrl/play/mpa/MpaLayer12.h"
#include "fzctrl/play/mpa/MpaLayer12Tables.h"
#include "fzctrl/play/mpa/MpaLayer3.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace fz {

namespace {

using mpa::MpaDecoderState;
using mpa::MpaFrameHeader;

int Fail(int error) {
    mpa::DecoderState().lastError = error;
    return 0;
}

void BuildTables(mpa::MpaDecoderTables& tables) {
    // ISO/IEC 11172-3 Table B.1: scale factor i is 2^(1 - i/3).
    for (int i = 0; i < mpa::kScaleFactorCount; ++i)
        tables.scaleFactors[static_cast<std::size_t>(i)] =
            static_cast<float>(std::exp2(1.0 - i / 3.0));
    tables.scaleFactors[63] = 0.0f;

    // A level v of n levels requantises to (2v + 1 - n) / n: for Layer I (2.4.3.2.2, n = 2^(a+1)
    // - 1 for allocation a) this is 2^nb / (2^nb - 1) · (s''' + 2^(1 - nb)), for Layer II
    // C · (s''' + D) of Table B.4.
    tables.layer1Scale[0] = tables.layer1Offset[0] = 0.0f;
    for (int a = 1; a < 16; ++a) {
        const double n = std::exp2(a + 1) - 1.0;
        tables.layer1Scale[static_cast<std::size_t>(a)] = static_cast<float>(2.0 / n);
        tables.layer1Offset[static_cast<std::size_t>(a)] = static_cast<float>((1.0 - n) / n);
    }
    for (std::size_t q = 0; q < mpa::kLayer2Classes.size(); ++q) {
        const double n = mpa::kLayer2Classes[q].steps;
        tables.layer2Scale[q] = static_cast<float>(2.0 / n);
        tables.layer2Offset[q] = static_cast<float>((1.0 - n) / n);
    }
    mpa::SynthesisBuildTables(tables.synthesis);
}

} // namespace

void MpaInit() {
    MpaDecoderState& state = mpa::DecoderState();
    state.frequencyLimitHz = 24000;
    state.rateReduction = 0;
    state.outputConversion = 0;
    BuildTables(state.tables);
    mpa::Layer3BuildTables();
    state.tablesBuilt = true;
}

int MpaDecodeInit(const std::uint8_t* firstFrame, int length) {
    MpaDecoderState& state = mpa::DecoderState();
    MpaFrameInfo info;
    if (!MpaGetInfo(firstFrame, length, info, MpaRemember::Yes))
        return 0;
    if (!state.tablesBuilt)
        MpaInit();
    mpa::SynthesisReset(state.synthesis);

    const int rate = info.outputSampleRate;
    state.subbandLimit = std::min(31, (state.frequencyLimitHz * 64 + rate / 2) / rate);
    std::memset(state.subbandSamples, 0, sizeof state.subbandSamples);
    std::memset(state.layer3Output, 0, sizeof state.layer3Output);
    if (info.header.layer == 3)
        mpa::Layer3Reset(state.layer3, 18 * state.subbandLimit);
    // Layer II narrows the limit further to its allocation table frame by frame.
    state.layer = info.header.layer;
    return 1;
}

int MpaDecodeFrame(MpaDecodeJob& job) {
    MpaDecoderState& state = mpa::DecoderState();
    if (job.frame == nullptr || job.bytesAvailable < 5)
        return Fail(kMpaErrorNotEnoughData);
    if (!MpaParseHeader(job.frame, job.header))
        return 0;
    const MpaFrameHeader& header = job.header;
    const int kbps = mpa::BitRateKbps(header.version, header.layer, header.bitRateIndex);
    job.bitRate = kbps * 1000;

    // Without a prepared stream there is no rate to size the frame with.
    if (state.layer == 0 || state.streamSampleRate <= 0)
        return Fail(kMpaErrorBadHeader);

    // Frame size from the frame's bit rate and the remembered stream rate.
    const int frameSize =
        mpa::FrameBytes(header, job.bitRate, state.streamSampleRate, header.padding);
    if (job.bytesAvailable < frameSize)
        return Fail(kMpaErrorNotEnoughData);

    // The caller's buffer holds the prepared stream's PCM bytes per frame: a frame of another
    // layer, channel count or granule count would overrun it or be misread.
    const int channels = mpa::ChannelCount(header);
    if (header.layer != state.layer ||
        mpa::FrameSamples(header) * channels * 2 != state.pcmBytesPerFrame)
        return Fail(kMpaErrorBadHeader);

    state.frameSize = frameSize;
    switch (header.layer) {
    case 1:
        mpa::DecodeLayer1(state, header, job.frame, state.frameSize, job.pcm);
        break;
    case 2:
        mpa::DecodeLayer2(state, header, job.frame, state.frameSize, job.pcm);
        break;
    default: {
        int granules = 0;
        const mpa::Layer3Result result = mpa::Layer3DecodeFrame(
            state.layer3, header, job.frame, state.frameSize, state.layer3Output, granules);
        if (result == mpa::Layer3Result::Decoded) {
            granules = std::clamp(granules, 0, header.version == 1 ? 2 : 1);
            for (int g = 0; g < granules; ++g) {
                std::int16_t* out = job.pcm + g * 576 * channels;
                for (int ch = 0; ch < channels; ++ch)
                    mpa::SynthesizeSlots(state.synthesis, ch, state.layer3Output[ch][g], 18,
                                         out + ch, channels);
            }
        }
        break;
    }
    }
    job.bytesAvailable = state.frameSize;
    job.pcmBytesWritten = state.pcmBytesPerFrame;
    return 1;
}

} // namespace fz
