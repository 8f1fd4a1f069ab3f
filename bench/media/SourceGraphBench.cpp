// The FFmpeg source against FFmpeg decoding alone, on a generated 60-s 640 x 480 MPEG-4 / MP3
// AVI, in the same run:
//   decode-only   libavformat + libavcodec, every packet of both streams decoded, the same
//                 decoder thread settings as the source (FFmpeg's choice, frame + slice)
//   reader        the source's engine (demuxing thread, queues, a decoding thread per stream),
//                 pictures left unconverted, as the null renderer leaves them
//   reader+rgb    the same with every picture converted to RGB32 (what a filter that reads
//                 every picture would cost)
//   graph         RenderFile with two null renderers and no clock, run to completion
//   graph+filters the fast conversion's graph: the source, the video filter (320 x 240, 6.01
//                 pictures per second, YUV422 JPEG, quality 80) and the audio filter (8000 Hz
//                 stereo) recording from the first sample, null renderers, no clock
// Each is timed as the median of a few rounds taken in turn; the ratios to decode-only are
// printed. Usage: media_source_bench [SECONDS] [ROUNDS] [ONLY] (defaults 60 and 3; ONLY, a
// part of a run's name, keeps that run beside the baseline, e.g. for a profiler).
#include "bench/support/FfmpegDecodeOnly.h"
#include "fzdsp/filters/CMovieAudioDsp.h"
#include "fzdsp/filters/CMovieVideoDsp.h"
#include "platform/com/ComPtr.h"
#include "platform/com/ModuleCounts.h"
#include "platform/media/ffmpeg/FastGraphRun.h"
#include "platform/media/ffmpeg/MediaReader.h"
#include "platform/media/graph/FilterGraph.h"
#include "platform/media/graph/RendererClasses.h"
#include "tools/mediagen/ClipGenerator.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

FZ_COM_DEFINE_MODULE()

namespace {

using namespace fz::media::ffmpeg;
using Clock = std::chrono::steady_clock;

using Counts = fz::bench::DecodeCounts;
using fz::bench::DecodeOnly;

Counts ThroughReader(const std::string& path, bool convert) {
    Counts counts;
    auto reader = MediaReader::OpenFile(path, {}, nullptr);
    if (!reader)
        return counts;
    reader->Start();
    std::thread video([&] {
        std::vector<std::uint8_t> rgb(reader->Converter()->ImageSize());
        DecodedPicture picture;
        while (reader->NextPicture(picture) == DecodeResult::Frame) {
            if (convert) {
                LazyPicture lazy(std::move(picture.frame), reader->Converter());
                lazy.Materialize(rgb.data(), rgb.size());
            }
            ++counts.pictures;
            picture.frame.reset();
        }
    });
    PcmBlock block;
    while (reader->NextSound(block) == DecodeResult::Frame)
        ++counts.soundFrames;
    video.join();
    reader->Abort();
    reader->Stop();
    return counts;
}

// The fast conversion's graph as the conversion driver builds it: null renderers, RenderFile,
// the video filter spliced in front of one, the audio filter in front of the other.
bool RunWithFilters(const std::string& path, const std::filesystem::path& folder) {
    using fz::com::ComPtr;
    using namespace fz::media;
    ComPtr<IGraphBuilder> graph;
    if (CreateFilterGraph(nullptr, IGraphBuilder::kIid, graph.PutVoid()) != fz::com::S_OK)
        return false;
    ComPtr<IBaseFilter> sinks[2];
    for (ComPtr<IBaseFilter>& sink : sinks)
        if (CreateNullRenderer(nullptr, IBaseFilter::kIid, sink.PutVoid()) != fz::com::S_OK ||
            fz::com::Failed(graph->AddFilter(sink.Get(), nullptr)))
            return false;

    auto* videoObject = new fz::dsp::CMovieVideoDsp(nullptr);
    ComPtr<IBaseFilter> videoFilter;
    ComPtr<fz::dsp::IMovieVideoDsp> video;
    videoObject->NonDelegatingQueryInterface(IBaseFilter::kIid, videoFilter.PutVoid());
    videoObject->NonDelegatingQueryInterface(fz::dsp::IMovieVideoDsp::kIid, video.PutVoid());
    videoObject->NonDelegatingRelease();
    auto* audioObject = new fz::dsp::CMovieAudioDsp(nullptr);
    ComPtr<IBaseFilter> audioFilter;
    ComPtr<fz::dsp::IMovieAudioDsp> audio;
    audioObject->NonDelegatingQueryInterface(IBaseFilter::kIid, audioFilter.PutVoid());
    audioObject->NonDelegatingQueryInterface(fz::dsp::IMovieAudioDsp::kIid, audio.PutVoid());
    audioObject->NonDelegatingRelease();

    const std::string frames = (folder / "frames.mjpg").string();
    const std::string sound = (folder / "sound.wav").string();
    video->SetVerticalCut(0);
    video->SetWidescreenCut(0, 0, 0);
    video->SetOutputFormat(320, 240, 0, 1, 1);
    video->SetFrameRate(5 + 0.01);
    video->SetQuality(80);
    video->SetFileName(frames.c_str());
    video->SetPreviewMode(0);
    video->SetPreviewRotate(0);
    fz::dsp::StreamSyncRecord* status = nullptr;
    video->GetStatusRecord(&status);
    video->Open();
    audio->SetAudioFormat(8000, 24000, 2);
    audio->SetFileName(sound.c_str());
    audio->SetPreviewMode(0);
    audio->SetGain(0);
    audio->SetStatusRecord(status);
    audio->Open();
    if (fz::com::Failed(graph->AddFilter(videoFilter.Get(), "Movie Video DSP")) ||
        fz::com::Failed(graph->AddFilter(audioFilter.Get(), "Movie Audio DSP")) ||
        fz::com::Failed(graph->RenderFile(path.c_str(), nullptr)))
        return false;

    auto pin = [](IBaseFilter* filter, const char* name) {
        ComPtr<IPin> found;
        filter->FindPin(name, found.ReleaseAndGetAddressOf());
        return found;
    };
    for (ComPtr<IBaseFilter>& sink : sinks) {
        ComPtr<IPin> input = pin(sink.Get(), "Input");
        ComPtr<IPin> upstream;
        if (!input || input->ConnectedTo(upstream.ReleaseAndGetAddressOf()) != fz::com::S_OK)
            continue;
        AM_MEDIA_TYPE type{};
        upstream->ConnectionMediaType(&type);
        const bool isVideo = type.majortype == MEDIATYPE_Video;
        FreeMediaType(type);
        IBaseFilter* filter = isVideo ? videoFilter.Get() : audioFilter.Get();
        if (graph->Disconnect(upstream.Get()) != fz::com::S_OK ||
            graph->Disconnect(input.Get()) != fz::com::S_OK ||
            graph->Connect(upstream.Get(), pin(filter, "Input").Get()) != fz::com::S_OK ||
            graph->Connect(pin(filter, "Output").Get(), input.Get()) != fz::com::S_OK)
            return false;
    }
    ComPtr<IMediaControl> control;
    ComPtr<IMediaEvent> events;
    graph.As(&control);
    graph.As(&events);
    long code = 0;
    const bool completed = control && events && fz::com::Succeeded(control->Run()) &&
                           events->WaitForCompletion(600000, &code) == fz::com::S_OK &&
                           code == EC_COMPLETE;
    control->Stop();
    int length = 0;
    audio->Close(&length);
    audio->SetStatusRecord(nullptr);
    video->Close();
    graph->RemoveFilter(videoFilter.Get());
    graph->RemoveFilter(audioFilter.Get());
    return completed;
}

double Seconds(const std::function<void()>& run) {
    const auto start = Clock::now();
    run();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 60.0;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    av_log_set_level(AV_LOG_ERROR);

    const auto folder = std::filesystem::temp_directory_path() /
                        ("framzel-media-bench-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "source.avi").string();
    fz::mediagen::ClipOptions options;
    options.kind = fz::mediagen::ClipKind::AviMpeg4Mp3;
    options.width = 640;
    options.height = 480;
    options.durationSeconds = seconds;
    options.videoBitRate = 1'500'000;
    std::string error;
    std::printf("generating %.0f s of 640x480 25 fps MPEG-4 + MP3 44.1 kHz stereo ...\n", seconds);
    if (!fz::mediagen::WriteClip(path, options, &error)) {
        std::fprintf(stderr, "cannot generate the source: %s\n", error.c_str());
        return 1;
    }

    struct Case {
        const char* name;
        std::function<Counts()> run;
        std::vector<double> times;
        Counts counts;
    };
    std::vector<Case> cases;
    cases.push_back({"decode-only (FFmpeg)", [&] { return DecodeOnly(path); }, {}, {}});
    cases.push_back({"reader", [&] { return ThroughReader(path, false); }, {}, {}});
    cases.push_back(
        {"reader + RGB of every picture", [&] { return ThroughReader(path, true); }, {}, {}});
    cases.push_back({"graph: source -> null renderers",
                     [&] {
                         const FastRunResult run = RunThroughNullRenderers(path, 600000);
                         if (!run.Completed())
                             std::fprintf(stderr, "graph run failed: %s\n", run.error.c_str());
                         return Counts{-1, -1};
                     },
                     {},
                     {}});
    cases.push_back({"graph + video and audio filters",
                     [&] {
                         if (!RunWithFilters(path, folder))
                             std::fprintf(stderr, "the graph with the filters failed\n");
                         return Counts{-1, -1};
                     },
                     {},
                     {}});
    if (argc > 3) {
        const std::string only = argv[3];
        std::erase_if(cases, [&](const Case& c) {
            return &c != &cases.front() && std::string(c.name).find(only) == std::string::npos;
        });
    }
    for (int round = 0; round < rounds; ++round)
        for (Case& c : cases)
            c.times.push_back(Seconds([&] { c.counts = c.run(); }));

    const double baseline = Median(cases[0].times);
    std::printf("%-34s %9s %8s %9s %8s\n", "run", "seconds", "ratio", "pictures", "sound");
    for (const Case& c : cases) {
        const double median = Median(c.times);
        std::printf("%-34s %9.3f %8.3f", c.name, median, median / baseline);
        if (c.counts.pictures >= 0)
            std::printf(" %9ld %8ld\n", c.counts.pictures, c.counts.soundFrames);
        else
            std::printf(" %9s %8s\n", "-", "-");
    }
    std::printf("(ratio = median time / decode-only median; %d rounds in turn, %u cores)\n", rounds,
                std::thread::hardware_concurrency());
    std::filesystem::remove_all(folder);
    return 0;
}
