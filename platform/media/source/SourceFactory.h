#pragma once

#include "platform/media/base/MediaInterfaces.h"

#include <string>

namespace fz::media {

// The source filter that IGraphBuilder::RenderFile builds for a file (implemented by the
// FFmpeg source, platform/media/ffmpeg). On success `*out` holds a filter with one reference
// for the caller, not yet in a graph, whose output pins deliver the file's decodable streams:
//   video: MEDIATYPE_Video, MEDIASUBTYPE_RGB32, FORMAT_VideoInfo, bottom-up, fixed sample size;
//   audio: MEDIATYPE_Audio, MEDIASUBTYPE_PCM, FORMAT_WaveFormatEx, the source's rate, 8 bits for
//          8-bit sources else 16, at most 2 channels.
// Failures: VFW_E_NOT_FOUND (no such file or not readable), VFW_E_UNKNOWN_FILE_TYPE (not a
// media file), VFW_E_UNSUPPORTED_STREAM (no stream that can be decoded), E_POINTER.
//
// What the graph relies on of the filter: it answers IMediaSeeking on the filter object
// (capabilities, duration, positions in 100-ns units, SetPositions: flush, seek, new segment,
// sample times still positions in the source); its streaming threads start at Pause from
// Stopped and are joined by Stop (the graph stops downstream filters first, so no Receive
// blocks then); each pin ends with DeliverEndOfStream; a Receive that fails ends that pin's
// streaming without an end of stream (the filter that failed reported it).
HRESULT CreateFileSourceFilter(const std::string& path, IBaseFilter** out);

} // namespace fz::media
