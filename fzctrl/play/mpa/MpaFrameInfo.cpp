// MpaParseHeader and MpaGetInfo: the frame header, the VBR headers and the frame-size rules.
#include "fzctrl/play/mpa/MpaDecoder.h"
#include "fzctrl/play/mpa/MpaDecoderState.h"
#include "fzctrl/play/mpa/MpaFrameRules.h"
#include "fzctrl/play/mpa/MpaHeaderTables.h"

#include <algorithm>
#include <cstring>

namespace fz {

namespace {

using mpa::FrameBytes;
using mpa::MpaFrameHeader;

int Fail(int error) {
    mpa::DecoderState().lastError = error;
    return 0;
}

std::int32_t BigEndian32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
        static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]));
}

} // namespace

int MpaParseHeader(const std::uint8_t* frame, MpaFrameHeader& header) {
    const std::uint8_t b1 = frame[1], b2 = frame[2], b3 = frame[3];
    header.version = (b1 >> 3) & 1;
    const int layerBits = (b1 >> 1) & 3;
    header.layer = layerBits;
    header.crc = b1 & 1;
    header.bitRateIndex = b2 >> 4;
    header.sampleRateIndex = (b2 >> 2) & 3;
    header.padding = (b2 >> 1) & 1;
    header.privateBit = b2 & 1;
    header.mode = b3 >> 6;
    header.modeExtension = (b3 >> 4) & 3;
    header.rightsBit = (b3 >> 3) & 1;
    header.original = (b3 >> 2) & 1;
    header.emphasis = b3 & 3;

    // ISO/IEC 11172-3 2.4.2.3: twelve sync bits and the ID bit; the MPEG-2.5 extension clears
    // the last sync bit.
    if (frame[0] != 0xFF)
        return Fail(kMpaErrorNoSync);
    if (b1 >= 0xF0)
        header.version = (b1 & 0x08) ? 1 : 2;
    else if ((b1 & 0xF0) == 0xE0)
        header.version = 3;
    else
        return Fail(kMpaErrorNoSync);

    // Free format (index 0), the forbidden index 15, the reserved rate and layer are refused.
    if (header.sampleRateIndex >= 3 || header.bitRateIndex < 1 || header.bitRateIndex > 14 ||
        layerBits == 0)
        return Fail(kMpaErrorBadHeader);
    header.layer = 4 - layerBits;
    header.crc = 1 - header.crc;
    return 1;
}

int MpaGetInfo(const std::uint8_t* frame, int length, MpaFrameInfo& info, MpaRemember remember) {
    if (frame == nullptr || length < 4)
        return Fail(kMpaErrorNotEnoughData);
    // At most the first 56 bytes are read, and never beyond `length`.
    const int visible = std::min(length, 56);
    MpaFrameHeader header;
    if (!MpaParseHeader(frame, header))
        return 0;

    int position = 4 + (header.crc ? 2 : 0);
    if (header.layer == 3)
        position += mpa::Layer3SideInfoBytes(header.version, mpa::ChannelCount(header));

    const int rate = mpa::SampleRateHz(header.version, header.sampleRateIndex);
    const int bitRate = mpa::BitRateKbps(header.version, header.layer, header.bitRateIndex) * 1000;

    bool vbr = false;
    std::int32_t vbrFrames = 0, vbrBytes = 0;
    if (position + 4 <= visible) {
        const std::uint8_t* tag = frame + position;
        if (std::memcmp(tag, "Xing", 4) == 0) {
            if (position + 16 > visible)
                return Fail(kMpaErrorNotEnoughData);
            const std::int32_t flags = BigEndian32(tag + 4);
            // Without the frame-count and byte-count flags the header tells nothing usable.
            if ((flags & 3) == 0)
                return Fail(kMpaErrorBadHeader);
            vbrFrames = BigEndian32(tag + 8);
            vbrBytes = BigEndian32(tag + 12);
            vbr = true;
        } else if (std::memcmp(tag, "VBRI", 4) == 0) {
            if (position + 18 > visible)
                return Fail(kMpaErrorNotEnoughData);
            vbrBytes = BigEndian32(tag + 10);
            vbrFrames = BigEndian32(tag + 14);
            vbr = true;
        }
    }

    int low = bitRate, high = bitRate;
    if (vbr) {
        low = high = mpa::BitRateKbps(header.version, header.layer, 1) * 1000;
        for (int index = 1; index <= 14; ++index) {
            const int r = mpa::BitRateKbps(header.version, header.layer, index) * 1000;
            low = std::min(low, r);
            high = std::max(high, r);
        }
    }

    info.header = header;
    info.vbrFrames = vbrFrames;
    info.vbrBytes = vbrBytes;
    info.vbrHeaderFrameSize = vbr ? FrameBytes(header, bitRate, rate, header.padding) : 0;
    info.smallFrameSize = FrameBytes(header, low, rate, 0);
    info.largeFrameSize = FrameBytes(header, high, rate, 1);
    info.outputChannels = mpa::ChannelCount(header);
    info.outputBits = 16;
    info.outputSampleRate = rate;
    info.pcmBytesPerFrame = mpa::FrameSamples(header) * info.outputChannels * 2;
    info.bitRate = vbr ? 0 : bitRate;

    if (remember == MpaRemember::Yes) {
        mpa::MpaDecoderState& state = mpa::DecoderState();
        state.streamSampleRate = rate;
        state.pcmBytesPerFrame = info.pcmBytesPerFrame;
    }
    return 1;
}

int MpaLastError() {
    return mpa::DecoderState().lastError;
}

} // namespace fz
