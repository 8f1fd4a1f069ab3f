#pragma once

// Runs a media file the way a fast conversion does, with nothing after the source: a graph
// with two null renderers, RenderFile, Run without a clock, wait for the end. The fuzzer and
// the source bench use it.

#include "platform/com/HResult.h"

#include <string>

namespace fz::media::ffmpeg {

struct FastRunResult {
    com::HRESULT renderResult = com::E_FAIL; // RenderFile's
    long eventCode = 0;                      // EC_COMPLETE, EC_ERRORABORT, or 0 on time-out
    int connectedPins = 0;                   // source pins that reached a renderer
    std::string error;                       // what failed, for people
    bool Completed() const;
};

// Called on one thread; blocks until the graph completes, aborts, or `timeoutMs` passes (the
// graph is stopped in every case before returning).
FastRunResult RunThroughNullRenderers(const std::string& path, long timeoutMs);

} // namespace fz::media::ffmpeg
