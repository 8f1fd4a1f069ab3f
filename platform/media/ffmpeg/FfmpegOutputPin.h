#pragma once

// An output pin of the FFmpeg source: "Video" (RGB32 bottom-up pictures, fixed sample size) or
// "Audio" (PCM). Each connected pin has a streaming thread of its own that pulls decoded data
// from the source's MediaReader, fills samples of the connection's allocator and delivers
// them: the video pin wraps each picture in a CLazyPictureSample (converted only when read),
// the audio pin copies PCM, split to the buffer size.
//
// Threads: the graph's thread connects the pin and starts / joins its streaming thread (through
// the filter, under the filter lock); the streaming thread calls only GetDeliveryBuffer, the
// Deliver functions and the reader, never the filter lock. The streaming thread ends at the
// end of the stream (after DeliverEndOfStream), when the reader is aborted (no end of stream),
// when the allocator is decommitted, or when the input pin refuses a sample (S_FALSE while
// flushing or stopping; a failure, which the downstream filter has reported). A buffer too
// small for a sample (an allocator that ignored the pin's size) ends it with EC_ERRORABORT.

#include "platform/media/base/BasePin.h"
#include "platform/media/ffmpeg/MediaReader.h"

#include <atomic>
#include <thread>

namespace fz::media::ffmpeg {

class CFfmpegSourceFilter;

enum class SourceStream { Video, Audio };

class CFfmpegOutputPin final : public CBaseOutputPin {
public:
    // `type` is the one type the pin offers and accepts.
    CFfmpegOutputPin(CFfmpegSourceFilter* filter, MediaReader& reader, SourceStream stream,
                     const CMediaType& type);
    ~CFfmpegOutputPin() override;

    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT GetMediaType(int position, CMediaType* type) override;
    // Video: 3 buffers of one picture. Audio: 16 buffers of about 50 ms.
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* properties) override;

    SourceStream Stream() const { return m_stream; }

    // Graph thread: starts the streaming thread, which first delivers a new segment.
    void StartStreaming(REFERENCE_TIME segmentStart, REFERENCE_TIME segmentStop);
    // Graph thread, after the reader was aborted: waits for the streaming thread to end.
    void JoinStreaming();
    // The stop time of the last sample delivered since StartStreaming (`fallback` before any).
    REFERENCE_TIME DeliveredUpTo(REFERENCE_TIME fallback) const;

private:
    void StreamPictures();
    void StreamSound();

    MediaReader& m_reader;
    const SourceStream m_stream;
    const CMediaType m_offered;
    std::thread m_thread;
    REFERENCE_TIME m_segmentStart = 0;
    REFERENCE_TIME m_segmentStop = 0;
    std::atomic<REFERENCE_TIME> m_delivered{-1};
};

} // namespace fz::media::ffmpeg
