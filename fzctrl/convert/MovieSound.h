#pragma once

#include "fzctrl/convert/CWaveFileHandler.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace fz {

// The movie writer's sound path, on the writer's thread: the audio filter's 16-bit PCM is
// mixed down to one channel, resampled to 8000 Hz into a temporary sound file, read back and
// encoded as IMA ADPCM blocks.

// The format of a sound file as the movie writer accepts it.
struct PcmSoundFormat {
    std::uint16_t channels = 0;   // 1 or 2
    std::uint32_t sampleRate = 0; // Hz, above 0
};

// The format from the "fmt " chunk of an open sound file: nothing unless it is 16-bit PCM with
// one or two channels and a sample rate above 0 (a sound file that was never finished says 0
// channels at 0 Hz; other layouts are not what the audio filter writes).
std::optional<PcmSoundFormat> ReadPcmSoundFormat(const CWaveFileHandler& wave);

// Writes `pcm` (16-bit little-endian samples, channels interleaved) as a 44-byte-header WAVE
// file of one channel at 8000 Hz to `stream`, which is open for writing at its start. Reads the
// sound in blocks of 1024 sample frames; two channels become one as (left + right) / 2, rounded
// towards minus infinity, before the block is resampled. A last block shorter than 1024 frames
// is not converted. A block the resampler refuses adds nothing and writes
// "error! SAMPLE_BLOCK is more than MAXINPUTSAMPLEBLOCK\n" to the diagnostics. Afterwards the
// header is rewritten with the data size, 8000 Hz and the RIFF size. False when the resampler
// cannot serve the rate or a write or seek fails.
// False also once `abandon` (when given) is set.
bool WriteResampledSoundFile(std::FILE* stream, std::span<const std::uint8_t> pcm,
                             PcmSoundFormat format, const std::atomic<bool>* abandon = nullptr);

// The encoded movie sound: F sample frames and the N bytes that the movie's WAVE file carries.
struct EncodedMovieSound {
    std::uint16_t channels = 1;
    std::uint32_t frames = 0;       // F
    std::vector<std::uint8_t> data; // N bytes, the blocks followed by zero bytes
};

// Reads a resampled sound file back (its 44-byte header, then the rest of the file as samples)
// and encodes it from predictor 0 and step index 0: F = P x 8 / (bits x channels) for P
// sample bytes, N = ((F / 505) x 256 + (F mod 505) / 2 + 4) x channels. Nothing when the file
// cannot be opened or read or is not such a file.
std::optional<EncodedMovieSound> EncodeResampledSoundFile(const std::string& hostPath);

} // namespace fz
