// Fuzz target of the FFmpeg source as RenderFile builds it: the input becomes a file (an
// anonymous in-memory one), RenderFile connects its pins to two null renderers, and the graph
// runs without a clock to its end, as a fast conversion does. Work per input is bounded by the
// source's limits (probing 64 KiB, pictures of at most 320 x 240, 200 packets, one decoder
// thread) and a 20-s wait for completion.
#include "platform/com/ModuleCounts.h"
#include "platform/media/ffmpeg/FastGraphRun.h"
#include "platform/media/ffmpeg/FfmpegSourceFilter.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

FZ_COM_DEFINE_MODULE()

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace fz::media::ffmpeg;
    static const bool limited = [] {
        SourceLimits limits;
        limits.probeBytes = 64 << 10;
        limits.analyzeMicroseconds = 1'000'000;
        limits.maxStreams = 8;
        limits.maxPictureSide = 640;
        limits.maxPictureArea = 320 * 240;
        limits.maxSampleRate = 192000;
        limits.maxPackets = 200;
        limits.decoderThreads = 1;
        limits.queues.hardPackets = 256;
        limits.queues.hardBytes = 8 << 20;
        SetFileSourceLimits(limits);
        return true;
    }();
    (void)limited;
    if (size > (1u << 20))
        return 0;
    const int fd = memfd_create("ffmpeg-source-fuzz", MFD_CLOEXEC);
    if (fd < 0)
        return 0;
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = write(fd, data + written, size - written);
        if (n <= 0)
            break;
        written += static_cast<std::size_t>(n);
    }
    if (written == size)
        RunThroughNullRenderers("/proc/self/fd/" + std::to_string(fd), 20000);
    close(fd);
    return 0;
}
