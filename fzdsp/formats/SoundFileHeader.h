#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>

namespace fz {

// The 44-byte WAVE header of the intermediate sound file (".wav", written by the audio filter,
// read by the movie writer), followed by 16-bit signed PCM, channels interleaved (left, right).
// Little-endian:
//   0 "RIFF"   4 file length - 8    8 "WAVE"   12 "fmt "   16 16
//   20 format tag 1 (PCM)   22 channels   24 sample rate (Hz)   28 bytes per second
//   32 block align = channels x 2   34 bits per sample 16   36 "data"   40 file length - 44
// While the file is being written both sizes are 0, and so are channels and rate until the
// header is rewritten at the end.
inline constexpr std::size_t kSoundFileHeaderSize = 44;

struct SoundFileHeader {
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0; // Hz
    std::uint32_t riffSize = 0;   // file length - 8, or 0 while unknown
    std::uint32_t dataSize = 0;   // file length - 44, or 0 while unknown

    std::uint16_t BlockAlign() const { return static_cast<std::uint16_t>(channels * 2); }
    std::uint32_t BytesPerSecond() const { return sampleRate * BlockAlign(); }

    // Both sizes for a file of `fileLength` bytes; a length below 44 (nothing measured) leaves
    // them 0, one beyond what 32 bits count gives the largest sizes they hold.
    void SetFileLength(std::int64_t fileLength);

    std::array<std::uint8_t, kSoundFileHeaderSize> Encode() const;

    // Reads a header in exactly this layout back: "RIFF", "WAVE", "fmt " with a 16-byte PCM
    // body of 16 bits per sample and "data" where the layout puts them; nothing otherwise.
    static std::optional<SoundFileHeader> Decode(std::span<const std::uint8_t> bytes);
};

// Writes the header of a sound file just opened for writing at its start: channels 0, rate 0,
// both sizes 0. False when the write fails. The audio filter's Open.
bool WriteOpenSoundFileHeader(std::FILE* file);

// Finishes a sound file: rewrites the whole header with `channels` and `sampleRate`, then
// measures the file and patches the two sizes when the length could be measured (more than
// 0). Leaves the stream at the end of the file. False when a seek, a write or the measuring
// fails (the sizes are 0 then). The audio
// filter's Close, before it closes the stream.
bool FinishSoundFile(std::FILE* file, std::uint16_t channels, std::uint32_t sampleRate);

} // namespace fz
