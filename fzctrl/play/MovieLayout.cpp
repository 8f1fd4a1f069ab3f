#include "fzctrl/play/MovieLayout.h"

#include "platform/bytes/LittleEndian.h"

#include <cstring>

namespace fz {
namespace {

constexpr std::uint8_t kSyncBlock[32] = {
    0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55,
    0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55};

bool Inside(std::uint64_t offset, std::uint64_t length, std::uint64_t size) {
    return offset <= size && length <= size - offset;
}

} // namespace

bool ReadKqffHeader(const std::uint8_t* data, std::uint64_t size, std::uint32_t& audioKind) {
    if (size <= 32 || std::memcmp(data, "KQFF", 4) != 0)
        return false;
    const std::uint64_t s = ReadLe32(data + 0x04);
    const std::uint64_t x = ReadLe32(data + 0x1C);
    if (size < s + 8 || size < x + 32 || s + 8 < x + 32)
        return false;
    audioKind = ReadLe32(data + 0x08);
    return true;
}

bool ReadKqffAdpcmInfo(const std::uint8_t* data, std::uint64_t size, KqffAdpcmInfo& info) {
    if (size <= 220 || std::memcmp(data + 0x20, "LIST", 4) != 0 || ReadLe32(data + 0x24) != 112)
        return false;
    const std::uint64_t x = ReadLe32(data + 0x1C);
    info.videoChunk = ReadLe32(data + 0x58);
    if (x < std::uint64_t{info.videoChunk} + 132)
        return false;
    info.width = ReadLe32(data + 0x50);
    info.height = ReadLe32(data + 0x54);
    info.firstFrameTime = ReadLe32(data + 0x44);
    info.channels = ReadLe16(data + 0x76);
    info.sampleRateField = ReadLe32(data + 0x78);
    info.audioChunk = ReadLe32(data + 0x84);
    return true;
}

bool LocateKqffAdpcmAreas(const std::uint8_t* data, std::uint64_t size, const KqffAdpcmInfo& info,
                          MovieAreas& areas) {
    const std::uint64_t v = info.videoChunk;
    const std::uint64_t a = info.audioChunk;
    if (!Inside(v, 12, size) || !Inside(a, 12, size))
        return false;
    if (std::memcmp(data + v, "DATA", 4) != 0 || std::memcmp(data + a, "DATA", 4) != 0 ||
        ReadLe32(data + a + 8) != 44)
        return false;
    const std::uint64_t videoChunkSize = ReadLe32(data + v + 4);
    const std::uint64_t videoSkip = ReadLe32(data + v + 8);
    const std::uint64_t audioChunkSize = ReadLe32(data + a + 4);
    const std::uint64_t x = ReadLe32(data + 0x1C);
    if (x < audioChunkSize + videoChunkSize + 120)
        return false;
    if (videoChunkSize < 4 || audioChunkSize < 48)
        return false;
    areas.videoOffset = v + 12 + videoSkip;
    areas.videoLength = static_cast<std::uint32_t>(videoChunkSize - 4);
    areas.audioOffset = a + 56;
    areas.audioLength = static_cast<std::uint32_t>(audioChunkSize - 48);
    return Inside(areas.videoOffset, areas.videoLength, size) &&
           Inside(areas.audioOffset, areas.audioLength, size);
}

bool ReadMpegHeaderFormat(const std::uint8_t* header, std::uint16_t& channels,
                          std::uint32_t& sampleRate) {
    static constexpr std::uint32_t kMpeg1Rates[3] = {44100, 48000, 32000};
    static constexpr std::uint32_t kMpeg2Rates[3] = {22050, 24000, 16000};
    const int rateIndex = (header[2] >> 2) & 3;
    if (rateIndex == 3)
        return false;
    const bool mpeg1 = (header[1] & 0x08) != 0;
    sampleRate = mpeg1 ? kMpeg1Rates[rateIndex] : kMpeg2Rates[rateIndex];
    channels = (header[3] & 0xC0) == 0xC0 ? 1 : 2;
    return true;
}

bool ReadKqffMp3Info(const std::uint8_t* data, std::uint64_t size, LayoutUse use,
                     KqffMp3Info& info) {
    if (size <= kMp3RecordStreamOffset || data[kMp3RecordStreamOffset] != 1)
        return false;
    if (!Inside(kMp3RecordStreamOffset + 1, 4, size))
        return false;
    if (use == LayoutUse::FormatQuery && (ReadLe32(data + 0x40) == 0 || ReadLe32(data + 0x84) == 0))
        return false;
    if (!ReadMpegHeaderFormat(data + kMp3RecordStreamOffset + 1, info.channels, info.sampleRate))
        return false;
    info.width = ReadLe32(data + 0x50);
    info.height = ReadLe32(data + 0x54);
    info.msPerFrame = ReadLe32(data + 0x78);
    info.totalTimeMs = ReadLe32(data + 0x7C);
    return true;
}

bool ReadYhavLayout(const std::uint8_t* data, std::uint64_t size, YhavLayout& layout) {
    if (size <= 60)
        return false;
    for (int i = 0; i < 4; ++i) {
        if ((data[i] | 0x20) != "yhav"[i])
            return false;
    }
    const std::uint64_t a = ReadLe32(data + 4);
    const std::uint64_t t = ReadLe32(data + 8);
    if (t == 0 || a + t + 48 < size || ReadLe16(data + 36) != 0)
        return false;
    // The sound runs from 60 to the sync block, and every byte of the video lies in the file.
    if (a < 60 || !Inside(a, 32 + t, size))
        return false;
    if (std::memcmp(data + a, kSyncBlock, sizeof kSyncBlock) != 0)
        return false;
    const std::uint8_t* video = data + a + 32;
    std::uint64_t marker = 0;
    while (marker + 1 < t && !(video[marker] == 0xFF && video[marker + 1] == 0xD8))
        ++marker;
    if (marker + 1 >= t)
        return false;
    layout.syncOffset = static_cast<std::uint32_t>(a);
    layout.videoBytes = static_cast<std::uint32_t>(t);
    layout.seconds = ReadLe32(data + 12);
    layout.channels = ReadLe16(data + 38);
    layout.sampleRateField = ReadLe32(data + 40);
    layout.audioOffset = 60;
    layout.audioLength = static_cast<std::uint32_t>(a - 60);
    layout.videoOffset = a + 32 + marker;
    layout.videoLength = static_cast<std::uint32_t>(t - marker);
    return true;
}

} // namespace fz
