#pragma once

#include "fzctrl/control/ConvertParams.h"
#include "fzdsp/filters/MovieDspIdentifiers.h"
#include "fzdsp/filters/MovieDspInterfaces.h"
#include "platform/com/ComPtr.h"
#include "platform/media/base/GraphInterfaces.h"

#include <cstdint>
#include <string>

namespace fz {

// The settings of the engine that reach the filters at the next graph build.
struct ConvertFilterSettings {
    int equalizerLevel = 0;
    int verticalCut = 0;
    int wideScreenCut = 0;
    double wideScreenTop = 0.0;
    double wideScreenBottom = 0.0;
    int previewRotate = 1;
};

// The conversion graph of one engine: the source rendered by the media graph, the video filter
// spliced in front of the video sink and the audio filter in front of the sound sink; in
// movie-make mode the sinks are the platform's renderers (the video in the preview window), in
// fast mode two null renderers that never wait.
//
// Everything runs on the control's thread (the window thread). The filters stream on the
// graph's threads; the graph talks to them only through their control interfaces.
class CConvertGraph {
public:
    CConvertGraph() = default;
    ~CConvertGraph();
    CConvertGraph(const CConvertGraph&) = delete;
    CConvertGraph& operator=(const CConvertGraph&) = delete;

    // Builds and runs the graph for `source` (host path) with the intermediate files
    // `base` + ".mjpg" and + ".wav". In fast mode waits until the conversion has ended,
    // pumping the thread's messages every 100 ms (so that Stop, the state and the time queries
    // work from the host's messages meanwhile); `record`'s video start offset is then set.
    // In movie-make mode returns once the graph runs and stores the audio filter's rate and
    // channels in `record`. False, with everything released, when any step fails (a source
    // or base over 259 characters, a missing source or a folder, one the decoders cannot
    // render, one without pictures or without sound, a filter that cannot be created, added or
    // connected, a graph that does not run).
    bool BuildAndRun(const std::string& source, const std::string& base, ConvertParams& record,
                     bool fast, const ConvertFilterSettings& settings);

    // Stops the graph (the filters close their files; the audio filter writes the recorded
    // length in ms into `recordedLengthMs` when given), removes and releases everything.
    void Teardown(std::int32_t* recordedLengthMs = nullptr);

    // Tells the audio and then the video filter to open their files. False without a graph.
    bool Record();
    bool Pause();
    bool Run();
    void SetPosition(long ms);
    bool CanSeek();
    long TotalTimeMs() const;
    long CurrentTimeMs();
    // 0 no graph, 1 a graph without writing, 2 a graph whose filters write.
    short State() const;
    // The video filter's start offset (0 without a filter).
    std::int32_t StartOffsetMs();

    void SetPreviewWindow(long window, long left, long top, long right, long bottom);
    long PreviewWindow() const { return m_previewWindow; }

    bool IsRunning() const { return m_running; }
    bool IsRecording() const { return m_recording; }
    const std::string& FrameFile() const { return m_frameFile; }
    const std::string& SoundFile() const { return m_soundFile; }
    // Asks the fast-mode wait to end (ConvertStop from a message): the graph is torn down by
    // the caller.
    void RequestEnd() { m_running = false; }

private:
    bool Build(const std::string& source, ConvertParams& record, bool fast,
               const ConvertFilterSettings& settings);
    bool WaitForEnd(ConvertParams& record);

    com::ComPtr<media::IGraphBuilder> m_graph;
    com::ComPtr<media::IMediaControl> m_control;
    com::ComPtr<media::IMediaSeeking> m_seeking;
    com::ComPtr<media::IMediaEvent> m_event;
    com::ComPtr<media::IVideoWindow> m_videoWindow;
    com::ComPtr<media::IBaseFilter> m_videoFilter;
    com::ComPtr<media::IBaseFilter> m_audioFilter;
    com::ComPtr<dsp::IMovieVideoDsp> m_videoDsp;
    com::ComPtr<dsp::IMovieAudioDsp> m_audioDsp;
    com::ComPtr<media::IBaseFilter> m_videoSink;
    com::ComPtr<media::IBaseFilter> m_soundSink;
    std::string m_frameFile;
    std::string m_soundFile;
    bool m_running = false;
    bool m_recording = false;
    int m_playState = 0; // 1 paused, 2 running, 0 after teardown; nothing reads it
    long m_previewWindow = 0;
    long m_previewLeft = 0;
    long m_previewTop = 0;
    long m_previewRight = 0;
    long m_previewBottom = 0;
    int m_largestFrame = 0;
    std::int64_t m_durationMs = 0;
    bool m_fast = false;
};

} // namespace fz
