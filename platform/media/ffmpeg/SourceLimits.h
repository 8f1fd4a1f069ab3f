#pragma once

// What the FFmpeg source may spend on one file: probing, picture sizes, packets, queues and
// decoder threads. The defaults suit real files; the fuzzer tightens them to bound its work.

#include "platform/media/ffmpeg/PacketQueues.h"

#include <cstdint>

namespace fz::media::ffmpeg {

struct SourceLimits {
    std::int64_t probeBytes = 5'000'000; // libavformat's probe and analysis budget
    std::int64_t analyzeMicroseconds = 5'000'000;
    int maxStreams = 64;                         // streams a container may declare
    int maxPictureSide = 8192;                   // pixels, either side
    std::int64_t maxPictureArea = 7680LL * 4320; // pixels per picture
    int maxSampleRate = 384000;                  // Hz
    std::int64_t maxPackets = 0;                 // packets read before the end is forced; 0: all
    int decoderThreads = 0;                      // 0: FFmpeg's choice (one per core)
    QueueLimits queues;
};

} // namespace fz::media::ffmpeg
