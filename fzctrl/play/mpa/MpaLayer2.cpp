#include "fzctrl/play/mpa/MpaBitReader.h"
#include "fzctrl/play/mpa/MpaHeaderTables.h"
#include "fzctrl/play/mpa/MpaLayer12.h"
#include "fzctrl/play/mpa/MpaLayer12Tables.h"

#include <algorithm>

namespace fz::mpa {

void DecodeLayer2(MpaDecoderState& state, const MpaFrameHeader& header, const std::uint8_t* frame,
                  int frameSize, std::int16_t* pcm) {
    const MpaDecoderTables& tables = state.tables;
    const int channels = ChannelCount(header);
    const Layer2AllocationTable& table = kLayer2AllocationTables[static_cast<std::size_t>(
        SelectLayer2Table(header.version, SampleRateHz(header.version, header.sampleRateIndex),
                          BitRateKbps(header.version, 2, header.bitRateIndex), channels))];
    const int sbLimit = table.sbLimit;
    const int bound = std::min(IntensityBound(header), sbLimit);
    const int limit = std::clamp(state.subbandLimit, 0, sbLimit);
    MpaBitReader bits(frame, frameSize * 8, header.crc ? 48 : 32);

    // ISO/IEC 11172-3 2.4.1.6: allocations (one shared above the bound), scale factor selection
    // information, scale factors, then 12 granules of three samples per subband.
    int classOf[2][32];
    for (int sb = 0; sb < sbLimit; ++sb) {
        const Layer2AllocationRow& row = kLayer2AllocationRows[static_cast<std::size_t>(
            table.rowOf[static_cast<std::size_t>(sb)])];
        for (int ch = 0; ch < channels; ++ch) {
            if (sb < bound || ch == 0)
                classOf[ch][sb] = row.classOf[bits.Read(row.allocationBits)];
            else
                classOf[ch][sb] = classOf[0][sb];
        }
    }
    int scfsi[2][32];
    for (int sb = 0; sb < sbLimit; ++sb)
        for (int ch = 0; ch < channels; ++ch)
            scfsi[ch][sb] = classOf[ch][sb] >= 0 ? static_cast<int>(bits.Read(2)) : 0;
    float scale[2][32][3];
    for (int sb = 0; sb < sbLimit; ++sb) {
        for (int ch = 0; ch < channels; ++ch) {
            if (classOf[ch][sb] < 0)
                continue;
            const Layer2ScfsiPattern& pattern =
                kLayer2ScfsiPatterns[static_cast<std::size_t>(scfsi[ch][sb])];
            float sent[3];
            for (int i = 0; i < pattern.count; ++i)
                sent[i] = tables.scaleFactors[bits.Read(6)];
            for (int part = 0; part < 3; ++part)
                scale[ch][sb][part] = sent[pattern.partOf[static_cast<std::size_t>(part)]];
        }
    }

    for (int granule = 0; granule < 12; ++granule) {
        const int part = granule / 4;
        float(*out)[36][32] = state.subbandSamples;
        for (int sb = 0; sb < sbLimit; ++sb) {
            const int perChannel = sb < bound ? channels : 1;
            for (int ch = 0; ch < perChannel; ++ch) {
                const int q = classOf[ch][sb];
                float value[3] = {0.0f, 0.0f, 0.0f};
                if (q >= 0) {
                    const Layer2Class& c = kLayer2Classes[static_cast<std::size_t>(q)];
                    std::uint32_t level[3];
                    if (c.grouped) {
                        // 2.4.3.3.3 degrouping: the codeword is v0 + n·v1 + n²·v2.
                        std::uint32_t code = bits.Read(c.codewordBits);
                        const auto n = static_cast<std::uint32_t>(c.steps);
                        for (std::uint32_t& l : level) {
                            l = code % n;
                            code /= n;
                        }
                    } else {
                        for (std::uint32_t& l : level)
                            l = bits.Read(c.codewordBits);
                    }
                    for (int i = 0; i < 3; ++i)
                        value[i] = static_cast<float>(level[i]) * tables.layer2Scale[q] +
                                   tables.layer2Offset[q];
                }
                if (sb >= limit)
                    value[0] = value[1] = value[2] = 0.0f;
                const int first = sb < bound ? ch : 0;
                const int last = sb < bound ? ch : channels - 1;
                for (int c = first; c <= last; ++c)
                    for (int i = 0; i < 3; ++i)
                        out[c][granule * 3 + i][sb] =
                            classOf[c][sb] >= 0 ? value[i] * scale[c][sb][part] : 0.0f;
            }
        }
        for (int ch = 0; ch < channels; ++ch)
            for (int i = 0; i < 3; ++i)
                for (int sb = sbLimit; sb < 32; ++sb)
                    out[ch][granule * 3 + i][sb] = 0.0f;
    }

    for (int ch = 0; ch < channels; ++ch)
        SynthesizeSlots(state.synthesis, ch, state.subbandSamples[ch], 36, pcm + ch, channels);
}

} // namespace fz::mpa
