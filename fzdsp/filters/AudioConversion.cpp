#include "fzdsp/filters/AudioConversion.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace fz::dsp {
namespace {

std::int16_t Sample(const std::uint8_t* at) {
    std::int16_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

void PutSample(std::uint8_t* at, std::int16_t value) {
    std::memcpy(at, &value, sizeof value);
}

enum class ChannelStep { kCopy, kPairToOne, kOneToPair };

ChannelStep StepFor(int inChannels, int outChannels) {
    if (inChannels == outChannels)
        return ChannelStep::kCopy;
    if (outChannels == 1)
        return ChannelStep::kPairToOne;
    return ChannelStep::kOneToPair;
}

} // namespace

void WidenPcm8To16(const std::uint8_t* in, std::size_t count, std::uint8_t* out) {
    for (std::size_t i = 0; i < count; ++i)
        PutSample(out + 2 * i, static_cast<std::int16_t>((in[i] - 128) * 256));
}

std::size_t ChannelStepLength(std::size_t inBytes, int inChannels, int outChannels) {
    switch (StepFor(inChannels, outChannels)) {
    case ChannelStep::kCopy:
        return inBytes;
    case ChannelStep::kPairToOne:
        return inBytes / 4 * 2;
    case ChannelStep::kOneToPair:
        return inBytes / 2 * 4;
    }
    return 0;
}

void ApplyChannelStep(const std::uint8_t* in, std::size_t inBytes, int inChannels, int outChannels,
                      std::uint8_t* out) {
    switch (StepFor(inChannels, outChannels)) {
    case ChannelStep::kCopy:
        if (inBytes > 0)
            std::memcpy(out, in, inBytes);
        return;
    case ChannelStep::kPairToOne:
        for (std::size_t pair = 0; pair < inBytes / 4; ++pair) {
            const int sum = Sample(in + 4 * pair) + Sample(in + 4 * pair + 2);
            PutSample(out + 2 * pair, static_cast<std::int16_t>(sum >> 1));
        }
        return;
    case ChannelStep::kOneToPair:
        for (std::size_t i = 0; i < inBytes / 2; ++i) {
            const std::int16_t s = Sample(in + 2 * i);
            PutSample(out + 4 * i, s);
            PutSample(out + 4 * i + 2, s);
        }
        return;
    }
}

void ApplyGain(std::uint8_t* samples, std::size_t bytes, int gainDb) {
    if (gainDb == 0)
        return;
    const double factor = std::pow(10.0, gainDb / 20.0);
    for (std::size_t i = 0; i + 1 < bytes; i += 2) {
        const double scaled = std::trunc(Sample(samples + i) * factor);
        PutSample(samples + i, static_cast<std::int16_t>(std::clamp(scaled, -32768.0, 32767.0)));
    }
}

} // namespace fz::dsp
