#include "fzctrl/convert/AdpcmCodec.h"

#include "fzctrl/convert/AdpcmTables.h"

#include <algorithm>

namespace fz {
namespace {

constexpr int kMaxIndex = static_cast<int>(kAdpcmStepSizes.size()) - 1;

int ClampIndex(int index) {
    return std::clamp(index, 0, kMaxIndex);
}

// The quantised difference a code stands for, from the step in force before the code: the
// sum of step/8 and the step fractions its magnitude bits select, all by shifts of the step.
int DifferenceOf(int code, int step) {
    int difference = step >> 3;
    if (code & 4)
        difference += step;
    if (code & 2)
        difference += step >> 1;
    if (code & 1)
        difference += step >> 2;
    return difference;
}

int Reconstruct(int predictor, int code, int step) {
    const int difference = DifferenceOf(code, step);
    const int next = (code & 8) ? predictor - difference : predictor + difference;
    return std::clamp(next, -32768, 32767);
}

int EncodeSample(int sample, int& predictor, int& index) {
    const int step = kAdpcmStepSizes[static_cast<std::size_t>(index)];
    int difference = sample - predictor;
    int code = 0;
    if (difference < 0) {
        code = 8;
        difference = -difference;
    }
    if (difference >= step) {
        code |= 4;
        difference -= step;
    }
    if (difference >= (step >> 1)) {
        code |= 2;
        difference -= step >> 1;
    }
    if (difference >= (step >> 2))
        code |= 1;
    predictor = Reconstruct(predictor, code, step);
    index = ClampIndex(index + kAdpcmIndexAdjust[static_cast<std::size_t>(code)]);
    return code;
}

} // namespace

void AdpcmEncodeBlocks(const std::int16_t* input, std::uint8_t* output, int count,
                       AdpcmState* state, int stride) {
    int predictor = state->predictor;
    int index = ClampIndex(state->index);
    int blockPosition = 0;
    int pendingCode = -1;
    for (int i = 0; i < count; ++i, input += stride) {
        const int sample = *input;
        if (blockPosition == 0) {
            // 504 codes fill a block exactly, so no nibble is pending at a block start.
            output[0] = static_cast<std::uint8_t>(sample & 0xFF);
            output[1] = static_cast<std::uint8_t>((sample >> 8) & 0xFF);
            output[2] = static_cast<std::uint8_t>(index);
            output[3] = 0;
            output += kAdpcmBlockHeaderBytes;
            predictor = sample;
        } else {
            const int code = EncodeSample(sample, predictor, index);
            if (pendingCode < 0) {
                pendingCode = code;
            } else {
                *output++ = static_cast<std::uint8_t>(pendingCode | code << 4);
                pendingCode = -1;
            }
        }
        if (++blockPosition == kAdpcmSamplesPerBlock)
            blockPosition = 0;
    }
    if (pendingCode >= 0)
        *output = static_cast<std::uint8_t>(pendingCode);
    state->predictor = static_cast<std::int16_t>(predictor);
    state->index = static_cast<std::int8_t>(index);
}

void AdpcmDecode(const std::uint8_t* input, std::int16_t* output, int count, AdpcmState* state) {
    int predictor = state->predictor;
    int index = ClampIndex(state->index);
    for (int i = 0; i < count; ++i) {
        const int code = (i & 1) ? (*input++ >> 4) : (*input & 0x0F);
        const int step = kAdpcmStepSizes[static_cast<std::size_t>(index)];
        index = ClampIndex(index + kAdpcmIndexAdjust[static_cast<std::size_t>(code)]);
        predictor = Reconstruct(predictor, code, step);
        output[i] = static_cast<std::int16_t>(predictor);
    }
    state->predictor = static_cast<std::int16_t>(predictor);
    state->index = static_cast<std::int8_t>(index);
}

} // namespace fz
