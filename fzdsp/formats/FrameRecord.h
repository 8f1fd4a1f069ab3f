#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>

namespace fz {

// The frame record: the unit of the intermediate frame file (".mjpg", written by the video
// filter) and of a movie file's video section (copied by the movie writer). Little-endian:
//   0  int32  time stamp in ms since the first record of the recording
//   4  int32  L, the length of the JPEG image
//   8  L      one complete JPEG image (0xFF 0xD8 ... 0xFF 0xD9) whose bytes 14..17 hold L
// Records follow each other without gaps and without a file header.
inline constexpr std::size_t kFrameRecordHeaderSize = 8;
inline constexpr std::size_t kJpegLengthOffset = 14;
// The shortest image that has room for the repeated length.
inline constexpr std::size_t kMinFrameImageSize = kJpegLengthOffset + 4;

struct FrameRecordHeader {
    std::int32_t timeStampMs = 0;
    std::int32_t length = 0;
};

// The time stamp of a picture whose sample starts at `sampleStart` when the recording's first
// picture started at `firstStart` (both in 100-ns units): the difference divided by 10000,
// truncated as integer division does.
constexpr std::int32_t FrameTimeStampMs(std::int64_t sampleStart, std::int64_t firstStart) {
    return static_cast<std::int32_t>((sampleStart - firstStart) / 10000);
}

void EncodeFrameRecordHeader(const FrameRecordHeader& header,
                             std::span<std::uint8_t, kFrameRecordHeaderSize> out);

// Appends one record for `image` to `file` and flushes it: the header, then the image with its
// bytes 14..17 replaced by its length (the caller's buffer is not changed). False, with
// nothing written, when the image is shorter than kMinFrameImageSize or longer than an int32
// can count; false also when a write or the flush fails. Called by the video filter on its
// streaming thread under its own lock.
bool AppendFrameRecord(std::FILE* file, std::int32_t timeStampMs,
                       std::span<const std::uint8_t> image);

// One record found by FrameRecordReader: a view into the reader's bytes.
struct FrameRecordView {
    std::size_t offset = 0; // of the record's header in the file
    std::int32_t timeStampMs = 0;
    std::span<const std::uint8_t> image;
};

// Walks the records of a frame file held in memory (for example a CMemoryMapper's view).
// Every length is checked against the bytes that remain: a header cut short, a length below
// kMinFrameImageSize (no writer makes such an image: it has no room for the repeated length)
// or one that runs past the end stops the walk and marks the file damaged; the records before
// it stay usable.
class FrameRecordReader {
public:
    explicit FrameRecordReader(std::span<const std::uint8_t> bytes)
        : m_bytes(bytes) {}

    // The next record, or nothing at the end of the bytes or at damage.
    std::optional<FrameRecordView> Next();

    bool IsDamaged() const { return m_damaged; }
    // Where the next record would start: after a clean walk, the size of the file.
    std::size_t Position() const { return m_position; }

private:
    std::span<const std::uint8_t> m_bytes;
    std::size_t m_position = 0;
    bool m_damaged = false;
};

} // namespace fz
