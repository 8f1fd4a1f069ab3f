#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace fz {

// Checks a movie file of the converter (MovieContainer.h) field by field against the bytes it
// really has, for framzel-cli inspect and its fuzz target. Every offset and length is checked
// against the size before it is used: the file may come from anywhere. Any thread; the result
// holds no pointer into `bytes`.

// One frame record found in the video section.
struct InspectedFrame {
    std::size_t offset = 0; // of the record's header in the file
    std::uint32_t timeStampMs = 0;
    std::uint32_t length = 0; // L, the JPEG image's bytes (they start at offset + 8)
    int width = 0;            // from the image's frame header; 0 when it has none
    int height = 0;
};

struct MovieInspection {
    std::uint64_t fileSize = 0;

    // The header's word on the pictures.
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t frameDurationMs = 0;
    std::uint32_t largestFrame = 0;
    std::uint32_t frameCountField = 0;
    std::uint32_t videoStartOffsetMs = 0;
    std::uint32_t videoSize = 0;        // V
    std::uint32_t audioSize = 0;        // A
    std::vector<InspectedFrame> frames; // the complete records, in file order

    // The embedded WAVE file, when its header could be read.
    bool hasSound = false;
    std::uint16_t channels = 0;
    std::uint32_t sampleRate = 0;
    std::uint32_t soundFrames = 0;     // F, from the "fact" chunk
    std::size_t adpcmOffset = 0;       // of the first ADPCM block in the file
    std::uint32_t adpcmSize = 0;       // the bytes of blocks that lie inside the file
    std::uint16_t blockSize = 0;       // 256
    std::uint16_t samplesPerBlock = 0; // 505

    // Every disagreement found, one sentence each, in the order of the file.
    std::vector<std::string> faults;

    bool IsSound() const { return faults.empty(); }
    // Pictures: frame count x frame duration. Sound: F / rate.
    std::uint64_t PictureDurationMs() const;
    std::uint64_t SoundDurationMs() const;
};

MovieInspection InspectMovie(std::span<const std::uint8_t> bytes);

// The width and height of a JPEG image from its first SOF marker (baseline, extended or
// progressive), walking the marker segments with every length checked; false when there is none.
bool ReadJpegSize(std::span<const std::uint8_t> image, int& width, int& height);

// Decodes the IMA ADPCM blocks of a movie's sound (one channel, 256-byte blocks of 505 samples,
// each starting with its first sample and step index) into at most `frames` 16-bit samples.
std::vector<std::int16_t> DecodeMovieSound(std::span<const std::uint8_t> blocks,
                                           std::uint32_t frames);

} // namespace fz
