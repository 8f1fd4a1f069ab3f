#include "platform/avifile/AviHeaders.h"

#include <cstring>

namespace fz::avifile {
namespace {

constexpr std::uint32_t kList = FourCc('L', 'I', 'S', 'T');
constexpr std::uint32_t kMainHeader = FourCc('a', 'v', 'i', 'h');
constexpr std::uint32_t kStreamList = FourCc('s', 't', 'r', 'l');
constexpr std::uint32_t kStreamHeader = FourCc('s', 't', 'r', 'h');
constexpr std::uint32_t kStreamFormat = FourCc('s', 't', 'r', 'f');

constexpr std::size_t kMinMainHeaderBytes = 40;   // up to and including the height
constexpr std::size_t kMinStreamHeaderBytes = 48; // up to and including the sample size

std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Walks the chunks of one list body. `visit`(id, body, bodySize) returns false to stop with
// AviError::Damaged. A chunk whose size runs past the body is damage; a missing pad byte after
// the last chunk is not.
template <typename Visit>
AviError WalkChunks(const std::uint8_t* data, std::size_t size, Visit&& visit) {
    std::size_t pos = 0;
    while (size - pos >= 8) {
        const std::uint32_t id = Le32(data + pos);
        const std::uint32_t chunkSize = Le32(data + pos + 4);
        pos += 8;
        if (chunkSize > size - pos)
            return AviError::Damaged;
        if (!visit(id, data + pos, static_cast<std::size_t>(chunkSize)))
            return AviError::Damaged;
        pos += chunkSize;
        if ((chunkSize & 1) != 0 && pos < size)
            ++pos;
    }
    return AviError::None;
}

bool ReadMainHeader(const std::uint8_t* p, std::size_t size, AviFileInfo& info) {
    if (size < kMinMainHeaderBytes)
        return false;
    info.microSecPerFrame = Le32(p);
    info.maxBytesPerSec = Le32(p + 4);
    info.flags = Le32(p + 12);
    info.totalFrames = Le32(p + 16);
    info.streams = Le32(p + 24);
    info.suggestedBufferSize = Le32(p + 28);
    info.width = Le32(p + 32);
    info.height = Le32(p + 36);
    return true;
}

void ReadStreamHeader(const std::uint8_t* p, AviStreamInfo& stream) {
    stream.type = Le32(p);
    stream.handler = Le32(p + 4);
    stream.flags = Le32(p + 8);
    stream.initialFrames = Le32(p + 16);
    stream.scale = Le32(p + 20);
    stream.rate = Le32(p + 24);
    stream.start = Le32(p + 28);
    stream.length = Le32(p + 32);
    stream.suggestedBufferSize = Le32(p + 36);
    stream.sampleSize = Le32(p + 44);
}

bool ReadStreamList(const std::uint8_t* data, std::size_t size, AviStreamInfo& stream) {
    bool haveHeader = false;
    const AviError error =
        WalkChunks(data, size, [&](std::uint32_t id, const std::uint8_t* body, std::size_t n) {
            if (id == kStreamHeader && !haveHeader) {
                if (n < kMinStreamHeaderBytes)
                    return false;
                ReadStreamHeader(body, stream);
                haveHeader = true;
            } else if (id == kStreamFormat && stream.format.empty()) {
                stream.format.assign(body, body + n);
            }
            return true;
        });
    return error == AviError::None && haveHeader;
}

} // namespace

AviError ParseAviHeaderList(const std::uint8_t* data, std::size_t size, AviHeaders& headers) {
    headers = AviHeaders{};
    bool haveMain = false;
    const AviError error =
        WalkChunks(data, size, [&](std::uint32_t id, const std::uint8_t* body, std::size_t n) {
            if (id == kMainHeader && !haveMain) {
                haveMain = ReadMainHeader(body, n, headers.file);
                return haveMain;
            }
            if (id == kList && n >= 4 && Le32(body) == kStreamList) {
                AviStreamInfo stream;
                if (!ReadStreamList(body + 4, n - 4, stream))
                    return false;
                headers.streams.push_back(std::move(stream));
            }
            return true;
        });
    if (error != AviError::None || !haveMain) {
        headers = AviHeaders{};
        return AviError::Damaged;
    }
    return AviError::None;
}

} // namespace fz::avifile
