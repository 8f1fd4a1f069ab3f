// Fuzz target for the movie inspector (framzel-cli inspect reads movies from anywhere): the
// input, in an exact-size heap copy so that the address sanitizer sees any read past its end,
// is inspected and its sound decoded; every frame and the sound handed back must lie inside it.
#include "fzctrl/convert/MovieInspector.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto copy = std::make_unique<std::uint8_t[]>(size == 0 ? 1 : size);
    if (size > 0)
        std::memcpy(copy.get(), data, size);
    const std::span<const std::uint8_t> bytes(copy.get(), size);
    const fz::MovieInspection inspection = fz::InspectMovie(bytes);
    for (const fz::InspectedFrame& frame : inspection.frames)
        if (frame.offset + 8 + frame.length > size) {
            std::fprintf(stderr, "movie_inspector_fuzzer: a frame runs past the input\n");
            std::abort();
        }
    if (inspection.hasSound) {
        if (inspection.adpcmOffset + inspection.adpcmSize > size) {
            std::fprintf(stderr, "movie_inspector_fuzzer: the sound runs past the input\n");
            std::abort();
        }
        // At most a few blocks' worth, so that a huge sample count does not make the run slow.
        const auto samples =
            fz::DecodeMovieSound(bytes.subspan(inspection.adpcmOffset, inspection.adpcmSize),
                                 std::min<std::uint32_t>(inspection.soundFrames, 505 * 64));
        if (samples.size() > std::min<std::uint32_t>(inspection.soundFrames, 505 * 64)) {
            std::fprintf(stderr, "movie_inspector_fuzzer: more samples than asked for\n");
            std::abort();
        }
    }
    if (!inspection.frames.empty()) {
        int width = 0;
        int height = 0;
        const auto& first = inspection.frames.front();
        fz::ReadJpegSize(bytes.subspan(first.offset + 8, first.length), width, height);
    }
    return 0;
}
