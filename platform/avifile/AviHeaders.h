#pragma once

#include <cstdint>
#include <vector>

namespace fz::avifile {

// A four-character code as stored in a RIFF file: the first character in the low byte.
constexpr std::uint32_t FourCc(char a, char b, char c, char d) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(a)) |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(b)) << 8 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(c)) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(d)) << 24;
}

inline constexpr std::uint32_t kStreamTypeVideo = FourCc('v', 'i', 'd', 's');
inline constexpr std::uint32_t kStreamTypeAudio = FourCc('a', 'u', 'd', 's');

// The main header of an AVI file ("avih"), as far as it is stored.
struct AviFileInfo {
    std::uint32_t microSecPerFrame = 0;
    std::uint32_t maxBytesPerSec = 0;
    std::uint32_t flags = 0;
    std::uint32_t totalFrames = 0;
    std::uint32_t streams = 0; // as the main header claims; the stream lists found may differ
    std::uint32_t suggestedBufferSize = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// One stream: its header ("strh") and its format ("strf") exactly as stored.
struct AviStreamInfo {
    std::uint32_t type = 0;    // kStreamTypeVideo, kStreamTypeAudio, or another code
    std::uint32_t handler = 0; // the codec's four-character code
    std::uint32_t flags = 0;
    std::uint32_t initialFrames = 0;
    std::uint32_t scale = 0;
    std::uint32_t rate = 0;
    std::uint32_t start = 0; // the stream's first sample number
    std::uint32_t length = 0;
    std::uint32_t suggestedBufferSize = 0;
    std::uint32_t sampleSize = 0;
    std::vector<std::uint8_t> format; // empty when the stream list has no "strf"
};

struct AviHeaders {
    AviFileInfo file;
    std::vector<AviStreamInfo> streams; // in file order
};

enum class AviError {
    None,
    CannotOpen,   // missing, not a regular file, unreadable
    NotAvi,       // no RIFF "AVI " form at the start
    NoHeaderList, // no complete "hdrl" list inside the file
    Damaged,      // a header chunk is missing, too short, or runs past its list
};

// Parses the body of a "hdrl" list: `data` points just past the list's type "hdrl" and holds
// `size` bytes. Every chunk must lie inside those bytes; nothing outside them is read. The main
// header "avih" (at least 40 bytes) is required, and every "strl" list needs a stream header of
// at least 48 bytes; unknown chunks are skipped.
AviError ParseAviHeaderList(const std::uint8_t* data, std::size_t size, AviHeaders& headers);

} // namespace fz::avifile
