#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace fz::test {

// Hand-made intermediate files for the movie writer and independent judges of the movies.

// A real JPEG image of the YUV422 encoder (a width divisible by 16, a height by 8), or of the
// library path (`library`, any size), of a smooth picture shifted by `seed`.
std::vector<std::uint8_t> MakeJpeg(int width, int height, int seed, bool library = false);

// A stand-in image of `size` bytes that the image count recognises: FF D8, filler, FF D9.
std::vector<std::uint8_t> FakeImage(std::size_t size, std::uint8_t fill);

struct TimedImage {
    std::int32_t timeStampMs = 0;
    std::vector<std::uint8_t> image;
};
// The frame file: one record per image, written by the video filter's record helper.
void WriteFrameFile(const std::filesystem::path& path, const std::vector<TimedImage>& images);

// A frame record in raw form (header with any length field, then `body`), for damaged files.
std::string RawRecord(std::int32_t timeStampMs, std::uint32_t length, const std::string& body);

// The sound file as the audio filter finishes it: the 44-byte header, then `samples`
// (interleaved when `channels` is 2).
void WriteSoundFile(const std::filesystem::path& path, int channels, int sampleRate,
                    const std::vector<std::int16_t>& samples);

// `seconds` of a sine of `frequency` Hz at `amplitude`, `channels` identical channels.
std::vector<std::int16_t> Tone(double frequency, double seconds, int sampleRate, int channels,
                               double amplitude);

// Little-endian fields of a byte string.
std::uint32_t Le32(const std::string& bytes, std::size_t offset);
std::uint16_t Le16(const std::string& bytes, std::size_t offset);

// Decodes a WAVE file with sox into 16-bit mono samples (an empty vector when sox fails).
std::vector<std::int16_t> SoxDecode(const std::filesystem::path& wave);

// The power of `frequency` in `samples` (Goertzel), relative to the signal's total power.
double RelativePower(const std::vector<std::int16_t>& samples, int sampleRate, double frequency);

// Names of the entries of a folder, sorted.
std::vector<std::string> FolderEntries(const std::filesystem::path& folder);

} // namespace fz::test
