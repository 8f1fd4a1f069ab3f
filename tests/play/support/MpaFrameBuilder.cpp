#include "tests/play/support/MpaFrameBuilder.h"

#include "fzctrl/play/mpa/MpaHeaderTables.h"
#include "fzctrl/play/mpa/MpaLayer12Tables.h"

#include <algorithm>

namespace fz::test::mpa {

namespace {

using fz::mpa::kLayer2AllocationRows;
using fz::mpa::kLayer2AllocationTables;
using fz::mpa::kLayer2Classes;

int FrameBytes(const FrameParams& p) {
    const int rate = fz::mpa::SampleRateHz(p.version, p.sampleRateIndex);
    const int bitRate = fz::mpa::BitRateKbps(p.version, p.layer, p.bitRateIndex) * 1000;
    return p.layer == 1 ? 12 * bitRate / rate * 4 : 144 * bitRate / rate;
}

void PutHeader(BitWriter& w, const FrameParams& p) {
    // Eleven sync bits, the MPEG-2.5 bit (0 there), the ID bit (1 for MPEG-1).
    w.Put(0x7FF, 11);
    w.Put(p.version == 3 ? 0 : 1, 1);
    w.Put(p.version == 1 ? 1 : 0, 1);
    w.Put(static_cast<std::uint32_t>(4 - p.layer), 2);
    w.Put(p.crc ? 0 : 1, 1);
    w.Put(static_cast<std::uint32_t>(p.bitRateIndex), 4);
    w.Put(static_cast<std::uint32_t>(p.sampleRateIndex), 2);
    w.Put(0, 1); // padding
    w.Put(0, 1); // private
    w.Put(static_cast<std::uint32_t>(p.mode), 2);
    w.Put(static_cast<std::uint32_t>(p.modeExtension), 2);
    w.Put(0, 1); // copyright
    w.Put(1, 1); // original
    w.Put(0, 2); // emphasis
    if (p.crc)
        w.Put(0xBEEF, 16); // not checked by either decoder
}

int Channels(const FrameParams& p) {
    return p.mode == 3 ? 1 : 2;
}
int Bound(const FrameParams& p) {
    return p.mode == 1 ? 4 * (p.modeExtension + 1) : 32;
}

BitWriter Layer1(const FrameParams& p, std::mt19937& random, int maxAllocation, int zeroPercent) {
    BitWriter w;
    PutHeader(w, p);
    const int channels = Channels(p);
    const int bound = Bound(p);
    std::uniform_int_distribution<int> percent(0, 99), scale(6, 62);
    int allocation[2][32] = {};
    for (int sb = 0; sb < 32; ++sb)
        for (int ch = 0; ch < channels; ++ch) {
            if (sb >= bound && ch == 1) {
                allocation[1][sb] = allocation[0][sb];
                continue;
            }
            const int a = sb == 31 || percent(random) < zeroPercent
                              ? 0
                              : std::uniform_int_distribution<int>(1, maxAllocation)(random);
            allocation[ch][sb] = a;
            w.Put(static_cast<std::uint32_t>(a), 4);
        }
    for (int sb = 0; sb < 32; ++sb)
        for (int ch = 0; ch < channels; ++ch)
            if (allocation[ch][sb])
                w.Put(static_cast<std::uint32_t>(scale(random)), 6);
    for (int slot = 0; slot < 12; ++slot)
        for (int sb = 0; sb < 32; ++sb)
            for (int ch = 0; ch < (sb < bound ? channels : 1); ++ch) {
                const int a = allocation[ch][sb];
                if (a == 0)
                    continue;
                const int top = (1 << (a + 1)) - 2; // the all-ones code is not a sample
                w.Put(
                    static_cast<std::uint32_t>(std::uniform_int_distribution<int>(0, top)(random)),
                    a + 1);
            }
    return w;
}

BitWriter Layer2(const FrameParams& p, std::mt19937& random, int maxAllocation, int zeroPercent) {
    BitWriter w;
    PutHeader(w, p);
    const int channels = Channels(p);
    const int rate = fz::mpa::SampleRateHz(p.version, p.sampleRateIndex);
    const auto& table = kLayer2AllocationTables[static_cast<std::size_t>(fz::mpa::SelectLayer2Table(
        p.version, rate, fz::mpa::BitRateKbps(p.version, 2, p.bitRateIndex), channels))];
    const int sbLimit = table.sbLimit;
    const int bound = std::min(Bound(p), sbLimit);
    std::uniform_int_distribution<int> percent(0, 99), scale(6, 62), scfsiOf(0, 3);
    int classOf[2][32];
    for (int sb = 0; sb < sbLimit; ++sb) {
        const auto& row = kLayer2AllocationRows[static_cast<std::size_t>(
            table.rowOf[static_cast<std::size_t>(sb)])];
        const int top = std::min((1 << row.allocationBits) - 1, maxAllocation);
        for (int ch = 0; ch < channels; ++ch) {
            if (sb >= bound && ch == 1) {
                classOf[1][sb] = classOf[0][sb];
                continue;
            }
            const int a = percent(random) < zeroPercent
                              ? 0
                              : std::uniform_int_distribution<int>(1, top)(random);
            classOf[ch][sb] = row.classOf[static_cast<std::size_t>(a)];
            w.Put(static_cast<std::uint32_t>(a), row.allocationBits);
        }
    }
    int scfsi[2][32];
    for (int sb = 0; sb < sbLimit; ++sb)
        for (int ch = 0; ch < channels; ++ch)
            if (classOf[ch][sb] >= 0) {
                scfsi[ch][sb] = scfsiOf(random);
                w.Put(static_cast<std::uint32_t>(scfsi[ch][sb]), 2);
            }
    for (int sb = 0; sb < sbLimit; ++sb)
        for (int ch = 0; ch < channels; ++ch)
            if (classOf[ch][sb] >= 0) {
                const int count =
                    fz::mpa::kLayer2ScfsiPatterns[static_cast<std::size_t>(scfsi[ch][sb])].count;
                for (int i = 0; i < count; ++i)
                    w.Put(static_cast<std::uint32_t>(scale(random)), 6);
            }
    for (int granule = 0; granule < 12; ++granule)
        for (int sb = 0; sb < sbLimit; ++sb)
            for (int ch = 0; ch < (sb < bound ? channels : 1); ++ch) {
                if (classOf[ch][sb] < 0)
                    continue;
                const auto& c = kLayer2Classes[static_cast<std::size_t>(classOf[ch][sb])];
                std::uniform_int_distribution<std::uint32_t> level(
                    0, static_cast<std::uint32_t>(c.steps - 1));
                if (c.grouped) {
                    const auto n = static_cast<std::uint32_t>(c.steps);
                    const std::uint32_t v0 = level(random), v1 = level(random), v2 = level(random);
                    w.Put(v0 + n * v1 + n * n * v2, c.codewordBits);
                } else {
                    for (int i = 0; i < 3; ++i)
                        w.Put(level(random), c.codewordBits);
                }
            }
    return w;
}

} // namespace

std::vector<std::uint8_t> HeaderBytes(const FrameParams& params) {
    BitWriter w;
    FrameParams p = params;
    p.crc = false;
    PutHeader(w, p);
    std::vector<std::uint8_t> bytes = w.Bytes();
    if (params.crc)
        bytes[1] &= 0xFE;
    return bytes;
}

std::vector<std::uint8_t> BuildRandomFrame(const FrameParams& params, std::mt19937& random) {
    const int size = FrameBytes(params);
    int maxAllocation = 15;
    int zeroPercent = std::uniform_int_distribution<int>(0, 50)(random);
    for (;;) {
        const int top = params.layer == 1 ? std::min(maxAllocation, 14) : maxAllocation;
        BitWriter w = params.layer == 1 ? Layer1(params, random, std::max(top, 1), zeroPercent)
                                        : Layer2(params, random, std::max(top, 1), zeroPercent);
        if (w.BitCount() <= static_cast<std::size_t>(size) * 8)
            return w.Bytes(static_cast<std::size_t>(size));
        if (maxAllocation > 1)
            --maxAllocation;
        else if (zeroPercent < 100)
            zeroPercent = std::min(zeroPercent + 10, 100);
        else { // not even the allocation fields fit: the frame is cut, and the test will say so
            std::vector<std::uint8_t> bytes = w.Bytes();
            bytes.resize(static_cast<std::size_t>(size));
            return bytes;
        }
    }
}

Stream BuildRandomStream(const FrameParams& params, int frames, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < frames; ++i) {
        std::vector<std::uint8_t> frame = BuildRandomFrame(params, random);
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    return MakeStream(std::move(bytes));
}

} // namespace fz::test::mpa
