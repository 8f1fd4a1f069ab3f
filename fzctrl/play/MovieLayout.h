#pragma once

#include <cstdint>

// The layouts of the two movie kinds that the player and the format query read: KQFF (audio
// kinds ADPCM and MP3) and YHAV. Each reader takes the whole file as one byte range and checks
// every offset and length it uses against `size` (in 64-bit arithmetic, so that no stored value
// can wrap a sum); a false result means "not a playable movie". Any thread; no allocation.
namespace fz {

inline constexpr std::uint32_t kAudioKindMp3 = 0;
inline constexpr std::uint32_t kAudioKindAdpcm = 255;

// KQFF: "KQFF" in exactly this letter case, more than 32 bytes, and the size fields S (0x04)
// and X (0x1C) within their limits: size >= S + 8, size >= X + 32, S + 8 >= X + 32.
bool ReadKqffHeader(const std::uint8_t* data, std::uint64_t size, std::uint32_t& audioKind);

// ADPCM kind, as the format query reads it: more than 220 bytes, "LIST" at 0x20 with 112 at
// 0x24, X >= V + 132 (V at 0x58).
struct KqffAdpcmInfo {
    std::uint32_t width = 0;           // 0x50
    std::uint32_t height = 0;          // 0x54
    std::uint32_t firstFrameTime = 0;  // 0x44, ms
    std::uint32_t videoChunk = 0;      // V, 0x58
    std::uint16_t channels = 0;        // 0x76
    std::uint32_t sampleRateField = 0; // 0x78, all 32 bits as stored
    std::uint32_t audioChunk = 0;      // A, 0x84
};
bool ReadKqffAdpcmInfo(const std::uint8_t* data, std::uint64_t size, KqffAdpcmInfo& info);

// Where the sound and the pictures of an ADPCM-kind movie lie (offsets from the file start).
struct MovieAreas {
    std::uint64_t audioOffset = 0;
    std::uint32_t audioLength = 0;
    std::uint64_t videoOffset = 0;
    std::uint32_t videoLength = 0;
};

// The player's checks of the data chunks: "DATA" at V and at A, 44 as the audio chunk's third
// field, X >= audio chunk size + video chunk size + 120. Both areas must lie inside the file.
bool LocateKqffAdpcmAreas(const std::uint8_t* data, std::uint64_t size, const KqffAdpcmInfo& info,
                          MovieAreas& areas);

// The MP3 kind: the record stream starts at 304; its first record is an MPEG audio frame whose
// 4-byte header (305..308) must lie inside the file. The format query also requires the values
// at 0x40 and 0x84 to be non-zero (`forFormatQuery`).
inline constexpr std::uint64_t kMp3RecordStreamOffset = 304;
struct KqffMp3Info {
    std::uint32_t width = 0;       // 0x50
    std::uint32_t height = 0;      // 0x54
    std::uint32_t msPerFrame = 0;  // 0x78
    std::uint32_t totalTimeMs = 0; // 0x7C
    std::uint16_t channels = 0;    // from the first frame's header
    std::uint32_t sampleRate = 0;  // from the first frame's header
};
enum class LayoutUse { Player, FormatQuery };
bool ReadKqffMp3Info(const std::uint8_t* data, std::uint64_t size, LayoutUse use,
                     KqffMp3Info& info);

// YHAV: "YHAV" in any letter case, more than 16 bytes, t != 0, A + t + 48 >= size, the sync
// block at A, 0 at 36, a JPEG start marker within the t bytes after the sync block. Beyond
// those header checks the sound (60..A) and the whole video (A + 32 .. A + 32 + t) must lie
// inside the file, so A is at least 60.
struct YhavLayout {
    std::uint32_t syncOffset = 0; // A
    std::uint32_t videoBytes = 0; // t
    std::uint32_t seconds = 0;
    std::uint16_t channels = 0;
    std::uint32_t sampleRateField = 0; // all 32 bits as stored at 40
    std::uint64_t audioOffset = 60;
    std::uint32_t audioLength = 0; // A - 60: the sound ends where the sync block starts
    std::uint64_t videoOffset = 0; // the first start marker
    std::uint32_t videoLength = 0; // from there to the end of the t bytes
};
bool ReadYhavLayout(const std::uint8_t* data, std::uint64_t size, YhavLayout& layout);

// Sample rate and channels from a 4-byte MPEG audio frame header: MPEG-1 when bit 3 of the
// second byte is set, else MPEG-2 rates; bits 3..2 of the third byte pick the rate (the reserved
// index 3 fails); mono when bits 7..6 of the fourth byte are both set.
bool ReadMpegHeaderFormat(const std::uint8_t* header, std::uint16_t& channels,
                          std::uint32_t& sampleRate);

} // namespace fz
