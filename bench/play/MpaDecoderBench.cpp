// Decoding speed of the MPEG audio frame decoder as a real-time factor (seconds of sound per
// second of decoding thread CPU time, best of five passes), against libavcodec's float decoder and
// libmpg123 (16-bit output, as ours) on the same frames in the same run.
#include "fzctrl/play/mpa/MpaDecoder.h"
#include "tests/play/support/MpaOracle.h"

#include <mpg123.h>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

using namespace fz::test::mpa;
// The decoding thread's CPU time: on a machine shared with other work, time the thread spends
// waiting for a core does not count against the decoder that was measured.
struct Clock {
    using duration = std::chrono::nanoseconds;
    using time_point = std::chrono::time_point<Clock, duration>;
    static time_point now() {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return time_point(duration(std::int64_t{t.tv_sec} * 1000000000 + t.tv_nsec));
    }
};

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Best time of `rounds` passes over the stream; the result of each pass is kept in `sink`.
double TimeFramzel(const Stream& stream, int rounds, std::int64_t& sink) {
    fz::MpaInit();
    const std::uint8_t* first = stream.bytes.data() + stream.frames[0].offset;
    const int rest = static_cast<int>(stream.bytes.size() - stream.frames[0].offset);
    fz::MpaFrameInfo info{};
    fz::MpaGetInfo(first, rest, info, fz::MpaRemember::No);
    std::vector<std::int16_t> pcm(static_cast<std::size_t>(info.pcmBytesPerFrame) / 2);
    double best = 1e30;
    for (int r = 0; r < rounds; ++r) {
        fz::MpaDecodeInit(first, rest);
        const auto start = Clock::now();
        for (const FrameSpan& span : stream.frames) {
            fz::MpaDecodeJob job{};
            job.frame = stream.bytes.data() + span.offset;
            job.bytesAvailable = static_cast<int>(stream.bytes.size() - span.offset);
            job.pcm = pcm.data();
            fz::MpaDecodeFrame(job);
            sink += pcm[100];
        }
        best = std::min(best, Seconds(Clock::now() - start));
    }
    return best;
}

double TimeFfmpeg(const Stream& stream, const char* decoderName, int rounds, std::int64_t& sink) {
    const AVCodec* codec = avcodec_find_decoder_by_name(decoderName);
    if (!codec)
        return 0.0;
    std::vector<AVPacket*> packets;
    for (const FrameSpan& span : stream.frames) {
        AVPacket* packet = av_packet_alloc();
        av_new_packet(packet, static_cast<int>(span.size));
        std::memcpy(packet->data, stream.bytes.data() + span.offset, span.size);
        packets.push_back(packet);
    }
    AVFrame* frame = av_frame_alloc();
    double best = 1e30;
    for (int r = 0; r < rounds; ++r) {
        AVCodecContext* context = avcodec_alloc_context3(codec);
        avcodec_open2(context, codec, nullptr);
        const auto start = Clock::now();
        for (AVPacket* packet : packets) {
            avcodec_send_packet(context, packet);
            while (avcodec_receive_frame(context, frame) >= 0) {
                sink += static_cast<std::int64_t>(
                    reinterpret_cast<const float*>(frame->extended_data[0])[100] * 1000.0f);
                av_frame_unref(frame);
            }
        }
        best = std::min(best, Seconds(Clock::now() - start));
        avcodec_free_context(&context);
    }
    av_frame_free(&frame);
    for (AVPacket*& packet : packets)
        av_packet_free(&packet);
    return best;
}

// libmpg123 fed frame by frame, as the player feeds ours; 16-bit output.
double TimeMpg123(const Stream& stream, int rounds, std::int64_t& sink) {
    double best = 1e30;
    for (int r = 0; r < rounds; ++r) {
        int error = MPG123_OK;
        mpg123_handle* handle = mpg123_new(nullptr, &error);
        if (!handle)
            return 0.0;
        mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_IGNORE_INFOFRAME, 0.0);
        mpg123_param(handle, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0.0);
        mpg123_format_none(handle);
        mpg123_format2(handle, 0, MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
        mpg123_open_feed(handle);
        const auto start = Clock::now();
        for (const FrameSpan& span : stream.frames) {
            mpg123_feed(handle, stream.bytes.data() + span.offset, span.size);
            for (;;) {
                off_t number = 0;
                unsigned char* audio = nullptr;
                std::size_t bytes = 0;
                const int result = mpg123_decode_frame(handle, &number, &audio, &bytes);
                if (result == MPG123_NEW_FORMAT)
                    continue;
                if (result != MPG123_OK)
                    break;
                if (bytes > 200)
                    sink += reinterpret_cast<const std::int16_t*>(audio)[100];
            }
        }
        best = std::min(best, Seconds(Clock::now() - start));
        mpg123_delete(handle);
    }
    return best;
}

struct BenchCase {
    const char* name;
    Encoder encoder;
    int sampleRate;
    int channels;
    int bitRateKbps;
    const char* baseline;
};

} // namespace

int main() {
    constexpr double kSeconds = 20.0;
    constexpr int kRounds = 5;
    const BenchCase cases[] = {
        {"Layer III, 44.1 kHz stereo, 128 kbit/s", Encoder::Mp3, 44100, 2, 128, "mp3float"},
        {"Layer III MPEG-2, 24 kHz stereo, 64 kbit/s", Encoder::Mp3, 24000, 2, 64, "mp3float"},
        {"Layer II, 44.1 kHz stereo, 192 kbit/s", Encoder::Mp2, 44100, 2, 192, "mp2float"},
    };
    std::int64_t sink = 0;
    std::printf("%-46s %12s %12s %12s %8s %8s\n", "stream", "framzel RTF", "FFmpeg RTF",
                "mpg123 RTF", "/FFmpeg", "/mpg123");
    for (const BenchCase& c : cases) {
        const Pcm pcm = MakeSignal(Signal::Noise, c.sampleRate, c.channels, kSeconds);
        const Stream stream = Encode(pcm, {c.encoder, c.bitRateKbps});
        if (stream.frames.empty()) {
            std::printf("%-46s encoder not available\n", c.name);
            continue;
        }
        const double ours = TimeFramzel(stream, kRounds, sink);
        const double ffmpeg = TimeFfmpeg(stream, c.baseline, kRounds, sink);
        const double mpg123 = TimeMpg123(stream, kRounds, sink);
        auto rtf = [&](double seconds) { return seconds > 0 ? kSeconds / seconds : 0.0; };
        std::printf("%-46s %12.1f %12.1f %12.1f %8.2f %8.2f\n", c.name, rtf(ours), rtf(ffmpeg),
                    rtf(mpg123), ffmpeg / ours, mpg123 / ours);
    }
    std::printf("(/FFmpeg, /mpg123 = framzel speed over the FFmpeg float decoder's and libmpg123's "
                "on the same frames; checksum %lld)\n",
                static_cast<long long>(sink));
    return 0;
}
