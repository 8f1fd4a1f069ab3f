// The FFmpeg source against FFmpeg decoding alone, on a generated 60-s 640 x 480 MPEG-4 / MP3
// AVI, in the same run:
//   decode-only   libavformat + libavcodec, every packet of both streams decoded, the same
//                 decoder thread settings as the source (FFmpeg's choice, frame + slice)
//   reader        the source's engine (demuxing thread, queues, a decoding thread per stream),
//                 pictures left unconverted, as the null renderer leaves them
//   reader+rgb    the same with every picture converted to RGB32 (what a filter that reads
//                 every picture would cost)
//   graph         RenderFile with two null renderers and no clock, run to completion
// Each is timed as the median of a few rounds taken in turn; the ratios to decode-only are
// printed. Usage: media_source_bench [SECONDS] [ROUNDS] (defaults 60 and 3).
#include "platform/com/ModuleCounts.h"
#include "platform/media/ffmpeg/FastGraphRun.h"
#include "platform/media/ffmpeg/MediaReader.h"
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

struct Counts {
    long pictures = 0;
    long soundFrames = 0;
};

// FFmpeg alone: one thread demuxes and feeds both decoders, as a decode-only run of FFmpeg's
// command-line tool does.
Counts DecodeOnly(const std::string& path) {
    Counts counts;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0)
        return counts;
    avformat_find_stream_info(format, nullptr);
    std::vector<AVCodecContext*> decoders(format->nb_streams, nullptr);
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVCodecParameters* par = format->streams[i]->codecpar;
        const AVCodec* codec = avcodec_find_decoder(par->codec_id);
        if (!codec ||
            (par->codec_type != AVMEDIA_TYPE_VIDEO && par->codec_type != AVMEDIA_TYPE_AUDIO))
            continue;
        AVCodecContext* decoder = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(decoder, par);
        decoder->pkt_timebase = format->streams[i]->time_base;
        decoder->thread_count = 0;
        decoder->thread_type = FF_THREAD_FRAME | FF_THREAD_SLICE;
        avcodec_open2(decoder, codec, nullptr);
        decoders[i] = decoder;
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    auto drain = [&](AVCodecContext* decoder) {
        while (avcodec_receive_frame(decoder, frame) >= 0) {
            (decoder->codec_type == AVMEDIA_TYPE_VIDEO ? counts.pictures : counts.soundFrames)++;
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        AVCodecContext* decoder = decoders[static_cast<unsigned>(packet->stream_index)];
        if (decoder && avcodec_send_packet(decoder, packet) >= 0)
            drain(decoder);
        av_packet_unref(packet);
    }
    for (AVCodecContext* decoder : decoders) {
        if (decoder) {
            avcodec_send_packet(decoder, nullptr);
            drain(decoder);
            avcodec_free_context(&decoder);
        }
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avformat_close_input(&format);
    return counts;
}

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
