// Fuzz target of the MPEG audio frame decoder: MpaGetInfo on the input, then MpaDecodeInit and
// MpaDecodeFrame over the frames the input holds, as the movie player walks a stream. The work
// per input is capped at 64 frames.
#include "fzctrl/play/mpa/MpaDecoder.h"

#include <cstddef>
#include <cstdint>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static bool initialised = false;
    if (!initialised) {
        fz::MpaInit();
        initialised = true;
    }
    if (size > (1u << 20))
        return 0;
    const int length = static_cast<int>(size);
    fz::MpaFrameInfo info{};
    fz::MpaGetInfo(data, length, info, fz::MpaRemember::No);
    if (!fz::MpaDecodeInit(data, length))
        return 0;
    // The caller's buffer: exactly the PCM bytes per frame the stream's first frame announces.
    std::vector<std::int16_t> pcm(static_cast<std::size_t>(info.pcmBytesPerFrame) / 2);
    int offset = 0;
    for (int frames = 0; frames < 64 && offset + 4 <= length; ++frames) {
        fz::MpaDecodeJob job{};
        job.frame = data + offset;
        job.bytesAvailable = length - offset;
        job.pcm = pcm.data();
        if (fz::MpaDecodeFrame(job)) {
            offset += job.bytesAvailable;
            continue;
        }
        // Skip to the next byte, as a caller hunting for sync would; now and then ask again
        // with remember = 1 so that a later frame's rate and size take over.
        fz::MpaFrameInfo next{};
        if (fz::MpaGetInfo(data + offset, length - offset, next, fz::MpaRemember::No) &&
            next.pcmBytesPerFrame == info.pcmBytesPerFrame)
            fz::MpaGetInfo(data + offset, length - offset, next, fz::MpaRemember::Yes);
        ++offset;
    }
    return 0;
}
