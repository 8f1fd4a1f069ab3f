#include "fzctrl/play/mpa/MpaBitReader.h"
#include "fzctrl/play/mpa/MpaLayer12.h"

#include <algorithm>
#include <cstring>

namespace fz::mpa {

void DecodeLayer1(MpaDecoderState& state, const MpaFrameHeader& header, const std::uint8_t* frame,
                  int frameSize, std::int16_t* pcm) {
    const MpaDecoderTables& tables = state.tables;
    const int channels = ChannelCount(header);
    const int bound = std::min(IntensityBound(header), 32);
    const int limit = std::clamp(state.subbandLimit, 0, 32);
    MpaBitReader bits(frame, frameSize * 8, header.crc ? 48 : 32);

    // ISO/IEC 11172-3 2.4.1.5: allocations, then scale factors, then 12 slots of samples. Above
    // the bound one allocation and one sample serve both channels (intensity stereo).
    int allocation[2][32];
    for (int sb = 0; sb < 32; ++sb) {
        for (int ch = 0; ch < channels; ++ch) {
            if (sb < bound || ch == 0)
                allocation[ch][sb] = static_cast<int>(bits.Read(4));
            else
                allocation[ch][sb] = allocation[0][sb];
            // Allocation 15 is forbidden (2.4.2.5); the subband is muted rather than misread.
        }
    }
    float scale[2][32];
    for (int sb = 0; sb < 32; ++sb)
        for (int ch = 0; ch < channels; ++ch)
            scale[ch][sb] = allocation[ch][sb] != 0 ? tables.scaleFactors[bits.Read(6)] : 0.0f;

    for (int slot = 0; slot < 12; ++slot) {
        for (int sb = 0; sb < 32; ++sb) {
            const int perChannel = sb < bound ? channels : 1;
            for (int ch = 0; ch < perChannel; ++ch) {
                const int a = allocation[ch][sb];
                float value = 0.0f;
                if (a != 0) {
                    const std::uint32_t level = bits.Read(a + 1);
                    value = a == 15 ? 0.0f
                                    : static_cast<float>(level) * tables.layer1Scale[a] +
                                          tables.layer1Offset[a];
                }
                if (sb >= limit)
                    value = 0.0f;
                if (sb < bound) {
                    state.subbandSamples[ch][slot][sb] = value * scale[ch][sb];
                } else {
                    for (int c = 0; c < channels; ++c)
                        state.subbandSamples[c][slot][sb] = value * scale[c][sb];
                }
            }
        }
    }

    for (int ch = 0; ch < channels; ++ch)
        SynthesizeSlots(state.synthesis, ch, state.subbandSamples[ch], 12, pcm + ch, channels);
}

} // namespace fz::mpa
