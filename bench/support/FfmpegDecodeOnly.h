#pragma once

#include <string>

namespace fz::bench {

// What a decode-only run decoded.
struct DecodeCounts {
    long pictures = 0;
    long soundFrames = 0;
};

// The baseline of the benchmarks that time a whole source: FFmpeg alone, one thread demuxing and
// feeding the decoders of every picture and sound stream, each with FFmpeg's own choice of
// decoder threads (frame + slice), as a decode-only run of FFmpeg's command-line tool does.
// Counts stay 0 when the file cannot be opened. Any thread; the caller owns nothing.
DecodeCounts DecodeOnly(const std::string& path);

} // namespace fz::bench
