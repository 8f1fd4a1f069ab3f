#include "fzctrl/play/mpa/MpaLayer3ScaleFactors.h"

#include <algorithm>

namespace fz::mpa {

namespace {

std::uint8_t ReadValue(MpaBitReader& bits, int slen) {
    return static_cast<std::uint8_t>(bits.Read(slen));
}

std::uint8_t MaxValue(int slen) {
    return static_cast<std::uint8_t>((1 << slen) - 1);
}

} // namespace

void Layer3ReadScaleFactorsMpeg1(MpaBitReader& bits, const Layer3GranuleInfo& granule, int scfsi,
                                 int granuleIndex, Layer3ScaleFactors& sf) {
    const int slen1 = kSlen1[static_cast<std::size_t>(granule.scalefacCompress & 15)];
    const int slen2 = kSlen2[static_cast<std::size_t>(granule.scalefacCompress & 15)];
    std::fill(std::begin(sf.longMax), std::end(sf.longMax), std::uint8_t{0});
    std::fill(std::begin(sf.shortMax), std::end(sf.shortMax), std::uint8_t{0});

    if (granule.blockType == Layer3BlockType::Short) {
        int firstShort = 0;
        if (granule.mixedBlock) {
            for (int band = 0; band < kMixedLongBandsMpeg1; ++band) {
                sf.longBands[band] = ReadValue(bits, slen1);
            }
            std::fill(sf.longBands + kMixedLongBandsMpeg1, sf.longBands + kLongBands,
                      std::uint8_t{0});
            firstShort = kMixedFirstShortBand;
        } else {
            std::fill(std::begin(sf.longBands), std::end(sf.longBands), std::uint8_t{0});
        }
        for (int band = 0; band < kShortBands; ++band) {
            for (int window = 0; window < 3; ++window) {
                if (band < firstShort || band == kShortBands - 1) {
                    sf.shortBands[band][window] = 0;
                } else {
                    sf.shortBands[band][window] = ReadValue(bits, band < 6 ? slen1 : slen2);
                }
            }
        }
        return;
    }

    for (int group = 0; group < 4; ++group) {
        const int first = kScfsiBandStarts[static_cast<std::size_t>(group)];
        const int last = kScfsiBandStarts[static_cast<std::size_t>(group) + 1];
        const bool reuse = granuleIndex == 1 && ((scfsi >> (3 - group)) & 1) != 0;
        if (reuse) {
            continue;
        }
        for (int band = first; band < last; ++band) {
            sf.longBands[band] = ReadValue(bits, band < 11 ? slen1 : slen2);
        }
    }
    sf.longBands[kLongBands - 1] = 0;
    for (auto& band : sf.shortBands) {
        band[0] = band[1] = band[2] = 0;
    }
}

Layer3LsfPartitions Layer3LsfPartitionsFor(int scalefacCompress, Layer3LsfChannel kind) {
    Layer3LsfPartitions p{};
    const int sfc = scalefacCompress & 511;
    if (kind == Layer3LsfChannel::Normal) {
        if (sfc < 400) {
            p = {0, {(sfc >> 4) / 5, (sfc >> 4) % 5, (sfc % 16) >> 2, sfc % 4}, false};
        } else if (sfc < 500) {
            const int v = sfc - 400;
            p = {1, {(v >> 2) / 5, (v >> 2) % 5, v % 4, 0}, false};
        } else {
            const int v = sfc - 500;
            p = {2, {v / 3, v % 3, 0, 0}, true};
        }
        return p;
    }
    const int isfc = sfc >> 1;
    if (isfc < 180) {
        p = {3, {isfc / 36, (isfc % 36) / 6, (isfc % 36) % 6, 0}, false};
    } else if (isfc < 244) {
        const int v = isfc - 180;
        p = {4, {(v % 64) >> 4, (v % 16) >> 2, v % 4, 0}, false};
    } else {
        // 255 lies outside the standard's ranges; the last rule continues to cover it.
        const int v = isfc - 244;
        p = {5, {v / 3, v % 3, 0, 0}, false};
    }
    return p;
}

bool Layer3ReadScaleFactorsLsf(MpaBitReader& bits, const Layer3GranuleInfo& granule,
                               Layer3LsfChannel kind, Layer3ScaleFactors& sf) {
    const Layer3LsfPartitions p = Layer3LsfPartitionsFor(granule.scalefacCompress, kind);
    int blockKind = 0;
    if (granule.blockType == Layer3BlockType::Short) {
        blockKind = granule.mixedBlock ? 2 : 1;
    }
    const auto& sizes =
        kLsfPartitionSizes[static_cast<std::size_t>(p.row)][static_cast<std::size_t>(blockKind)];

    std::fill(std::begin(sf.longBands), std::end(sf.longBands), std::uint8_t{0});
    std::fill(std::begin(sf.longMax), std::end(sf.longMax), std::uint8_t{0});
    std::fill(std::begin(sf.shortMax), std::end(sf.shortMax), std::uint8_t{0});
    for (auto& band : sf.shortBands) {
        band[0] = band[1] = band[2] = 0;
    }

    // Position in the partition order: long bands first (all 21 for block kind 0, 6 for
    // mixed blocks), then short bands from the first sent one, window after window.
    const int longCount =
        blockKind == 0 ? kLongBands - 1 : (blockKind == 2 ? kMixedLongBandsLsf : 0);
    const int firstShort = blockKind == 2 ? kMixedFirstShortBand : 0;
    int index = 0;
    for (int part = 0; part < 4; ++part) {
        const int slen = p.slen[part];
        const std::uint8_t maxValue = MaxValue(slen);
        for (int n = 0; n < sizes[static_cast<std::size_t>(part)]; ++n, ++index) {
            const std::uint8_t value = ReadValue(bits, slen);
            if (index < longCount) {
                sf.longBands[index] = value;
                sf.longMax[index] = maxValue;
            } else {
                const int shortIndex = index - longCount;
                const int band = firstShort + shortIndex / 3;
                if (band < kShortBands - 1) {
                    sf.shortBands[band][shortIndex % 3] = value;
                    sf.shortMax[band] = maxValue;
                }
            }
        }
    }
    return p.preflag;
}

} // namespace fz::mpa
