#include "tests/play/support/MpaOracle.h"

#include "fzctrl/play/mpa/MpaDecoder.h"

#include <mpg123.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <numbers>
#include <random>
#include <unistd.h>

namespace fz::test::mpa {

namespace {

struct CodecContextDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct Mpg123Deleter {
    void operator()(mpg123_handle* handle) const { mpg123_delete(handle); }
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;

// A linear-phase low-pass (windowed sinc, Blackman window) at `cutoff` of the sample rate.
std::vector<double> LowPass(double cutoff, int taps) {
    std::vector<double> h(static_cast<std::size_t>(taps));
    const double middle = (taps - 1) / 2.0;
    double sum = 0.0;
    for (int i = 0; i < taps; ++i) {
        const double t = i - middle;
        const double sinc =
            t == 0.0 ? 2.0 * cutoff
                     : std::sin(2.0 * std::numbers::pi * cutoff * t) / (std::numbers::pi * t);
        const double w = 0.42 - 0.5 * std::cos(2.0 * std::numbers::pi * i / (taps - 1)) +
                         0.08 * std::cos(4.0 * std::numbers::pi * i / (taps - 1));
        h[static_cast<std::size_t>(i)] = sinc * w;
        sum += sinc * w;
    }
    for (double& v : h)
        v /= sum;
    return h;
}

int HeaderFrameSize(const std::uint8_t* p) {
    // ISO/IEC 11172-3 2.4.2.3 and 2.4.3.1, ISO/IEC 13818-3 2.4.2.3; MPEG-2.5 at a quarter of the
    // MPEG-1 rates.
    static const int kBitRates[2][3][16] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}};
    static const int kRates[3] = {44100, 48000, 32000};
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return 0;
    const int versionBits = (p[1] >> 3) & 3; // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    const int layerBits = (p[1] >> 1) & 3;
    const int bitRateIndex = p[2] >> 4;
    const int rateIndex = (p[2] >> 2) & 3;
    if (versionBits == 1 || layerBits == 0 || bitRateIndex == 0 || bitRateIndex == 15 ||
        rateIndex == 3)
        return 0;
    const int layer = 4 - layerBits;
    const bool lsf = versionBits != 3;
    const int rate = kRates[rateIndex] >> (versionBits == 3 ? 0 : versionBits == 2 ? 1 : 2);
    const int bitRate = kBitRates[lsf ? 1 : 0][layer - 1][bitRateIndex] * 1000;
    const int pad = (p[2] >> 1) & 1;
    if (layer == 1)
        return (12 * bitRate / rate + pad) * 4;
    if (layer == 3 && lsf)
        return 72 * bitRate / rate + pad;
    return 144 * bitRate / rate + pad;
}

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Sends one packet (or the flush, for nullptr) and collects the encoder's packets.
bool Drain(AVCodecContext* context, const AVFrame* frame, std::vector<PacketPtr>& out) {
    if (avcodec_send_frame(context, frame) < 0)
        return false;
    for (;;) {
        PacketPtr packet(av_packet_alloc());
        const int result = avcodec_receive_packet(context, packet.get());
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return true;
        if (result < 0)
            return false;
        out.push_back(std::move(packet));
    }
}

bool WriteThroughMuxer(AVCodecContext* context, const std::vector<PacketPtr>& packets,
                       std::vector<std::uint8_t>& bytes) {
    // The muxer fills in its "Xing" frame at the end, so it needs a seekable file.
    static int counter = 0;
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("framzel-mpa-oracle-" + std::to_string(getpid()) + "-" +
                               std::to_string(counter++) + ".mp3"))
                                 .string();
    AVFormatContext* muxer = nullptr;
    bool ok = avformat_alloc_output_context2(&muxer, nullptr, "mp3", path.c_str()) >= 0;
    AVStream* stream = ok ? avformat_new_stream(muxer, nullptr) : nullptr;
    ok = ok && stream && avcodec_parameters_from_context(stream->codecpar, context) >= 0;
    if (ok) {
        stream->time_base = AVRational{1, context->sample_rate};
        AVDictionary* options = nullptr;
        av_dict_set(&options, "id3v2_version", "0", 0);
        av_dict_set(&options, "write_xing", "1", 0);
        ok = avio_open(&muxer->pb, path.c_str(), AVIO_FLAG_WRITE) >= 0 &&
             avformat_write_header(muxer, &options) >= 0;
        av_dict_free(&options);
    }
    std::int64_t pts = 0;
    for (const PacketPtr& packet : packets) {
        if (!ok)
            break;
        PacketPtr copy(av_packet_clone(packet.get()));
        copy->stream_index = 0;
        copy->pts = copy->dts = pts;
        copy->duration = context->frame_size;
        pts += context->frame_size;
        ok = av_write_frame(muxer, copy.get()) >= 0;
    }
    if (ok)
        ok = av_write_trailer(muxer) >= 0;
    if (muxer) {
        avio_closep(&muxer->pb);
        avformat_free_context(muxer);
    }
    if (ok)
        bytes = ReadBytes(path);
    std::filesystem::remove(path);
    return ok && !bytes.empty();
}

} // namespace

Pcm MakeSignal(Signal signal, int sampleRate, int channels, double seconds, std::uint32_t seed) {
    Pcm pcm;
    pcm.sampleRate = sampleRate;
    pcm.channels = channels;
    const auto count = static_cast<std::size_t>(seconds * sampleRate);
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    const double cutoffHz = std::min(18000.0, 0.42 * sampleRate);
    std::vector<double> filter = LowPass(cutoffHz / sampleRate, 63);
    std::vector<std::vector<double>> channel(static_cast<std::size_t>(channels),
                                             std::vector<double>(count, 0.0));
    for (int ch = 0; ch < channels; ++ch) {
        std::vector<double>& out = channel[static_cast<std::size_t>(ch)];
        if (signal == Signal::Sweep) {
            // Up from 100 Hz to just below the cutoff in half a second, down in the other half.
            double phase = 0.0;
            const double top = 0.95 * cutoffHz;
            for (std::size_t n = 0; n < count; ++n) {
                const double t = std::fmod(static_cast<double>(n) / sampleRate, 1.0);
                const double glide = t < 0.5 ? 2.0 * t : 2.0 - 2.0 * t;
                phase += 2.0 * std::numbers::pi * (100.0 + (top - 100.0) * glide) / sampleRate;
                out[n] = 0.3 * std::sin(phase + ch * 0.5);
            }
        } else if (signal == Signal::Tones) {
            const double frequencies[4] = {220.0 * (ch + 1), 1234.5 + 300.0 * ch,
                                           0.21 * cutoffHz * 3.0, 0.93 * cutoffHz};
            const double amplitudes[4] = {0.15, 0.1, 0.06, 0.03};
            for (std::size_t n = 0; n < count; ++n) {
                double v = 0.0;
                for (int k = 0; k < 4; ++k)
                    v += amplitudes[k] * std::sin(2.0 * std::numbers::pi * frequencies[k] *
                                                  static_cast<double>(n) / sampleRate);
                out[n] = v;
            }
        } else {
            std::vector<double> raw(count + filter.size(), 0.0);
            const auto period = static_cast<std::size_t>(sampleRate / 10);
            const auto burst = static_cast<std::size_t>(sampleRate / 400);
            for (std::size_t n = 0; n < raw.size(); ++n) {
                if (signal == Signal::Noise)
                    raw[n] = 0.3 * uniform(random);
                else if (n % period < burst)
                    raw[n] = 0.9 * uniform(random);
                else if (n % period == period / 2)
                    raw[n] = 3.0;
            }
            for (std::size_t n = 0; n < count; ++n) {
                double v = 0.0;
                for (std::size_t k = 0; k < filter.size(); ++k)
                    v += filter[k] * raw[n + k];
                out[n] = v;
            }
        }
    }
    pcm.samples.resize(count * static_cast<std::size_t>(channels));
    for (std::size_t n = 0; n < count; ++n)
        for (int ch = 0; ch < channels; ++ch) {
            const double v = std::clamp(channel[static_cast<std::size_t>(ch)][n], -0.5, 0.5);
            pcm.samples[n * static_cast<std::size_t>(channels) + static_cast<std::size_t>(ch)] =
                static_cast<std::int16_t>(std::lrint(v * 32767.0));
        }
    return pcm;
}

Stream Encode(const Pcm& pcm, const EncodeSettings& settings) {
    const char* name = settings.encoder == Encoder::Mp2 ? "mp2" : "libmp3lame";
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    if (!codec)
        return {};
    CodecContextPtr context(avcodec_alloc_context3(codec));
    context->sample_rate = pcm.sampleRate;
    av_channel_layout_default(&context->ch_layout, pcm.channels);
    AVSampleFormat format = AV_SAMPLE_FMT_NONE;
    for (const AVSampleFormat* f = codec->sample_fmts; f && *f != AV_SAMPLE_FMT_NONE; ++f)
        if (*f == AV_SAMPLE_FMT_S16 || *f == AV_SAMPLE_FMT_S16P) {
            format = *f;
            break;
        }
    if (format == AV_SAMPLE_FMT_NONE)
        return {};
    context->sample_fmt = format;
    AVDictionary* options = nullptr;
    if (settings.encoder == Encoder::Mp3) {
        av_dict_set(&options, "joint_stereo", settings.jointStereo ? "1" : "0", 0);
        av_dict_set(&options, "reservoir", "1", 0);
    }
    if (settings.encoder == Encoder::Mp3 && settings.vbrQuality >= 0) {
        context->flags |= AV_CODEC_FLAG_QSCALE;
        context->global_quality = FF_QP2LAMBDA * settings.vbrQuality;
    } else {
        context->bit_rate = settings.bitRateKbps * 1000;
    }
    const int opened = avcodec_open2(context.get(), codec, &options);
    av_dict_free(&options);
    if (opened < 0)
        return {};

    std::vector<PacketPtr> packets;
    const int frameSize = context->frame_size;
    const std::size_t total = pcm.samples.size() / static_cast<std::size_t>(pcm.channels);
    FramePtr frame(av_frame_alloc());
    for (std::size_t start = 0; start < total; start += static_cast<std::size_t>(frameSize)) {
        av_frame_unref(frame.get());
        frame->nb_samples = frameSize;
        frame->format = format;
        frame->sample_rate = pcm.sampleRate;
        av_channel_layout_copy(&frame->ch_layout, &context->ch_layout);
        if (av_frame_get_buffer(frame.get(), 0) < 0)
            return {};
        for (int i = 0; i < frameSize; ++i)
            for (int ch = 0; ch < pcm.channels; ++ch) {
                const std::size_t n = start + static_cast<std::size_t>(i);
                const std::int16_t v =
                    n < total ? pcm.samples[n * static_cast<std::size_t>(pcm.channels) +
                                            static_cast<std::size_t>(ch)]
                              : 0;
                if (format == AV_SAMPLE_FMT_S16)
                    reinterpret_cast<std::int16_t*>(frame->data[0])[i * pcm.channels + ch] = v;
                else
                    reinterpret_cast<std::int16_t*>(frame->data[ch])[i] = v;
            }
        frame->pts = static_cast<std::int64_t>(start);
        if (!Drain(context.get(), frame.get(), packets))
            return {};
    }
    if (!Drain(context.get(), nullptr, packets))
        return {};

    std::vector<std::uint8_t> bytes;
    if (settings.xingHeader) {
        if (!WriteThroughMuxer(context.get(), packets, bytes))
            return {};
    } else {
        for (const PacketPtr& packet : packets)
            bytes.insert(bytes.end(), packet->data, packet->data + packet->size);
    }
    return MakeStream(std::move(bytes));
}

std::vector<FrameSpan> SplitFrames(const std::vector<std::uint8_t>& bytes) {
    std::vector<FrameSpan> frames;
    std::size_t offset = 0;
    while (offset + 4 <= bytes.size()) {
        const int size = HeaderFrameSize(bytes.data() + offset);
        if (size <= 4) {
            ++offset;
            continue;
        }
        if (offset + static_cast<std::size_t>(size) > bytes.size())
            break;
        frames.push_back({offset, static_cast<std::size_t>(size)});
        offset += static_cast<std::size_t>(size);
    }
    return frames;
}

Stream MakeStream(std::vector<std::uint8_t> bytes) {
    Stream stream;
    stream.frames = SplitFrames(bytes);
    stream.bytes = std::move(bytes);
    return stream;
}

Decoded DecodeWithFfmpeg(const Stream& stream) {
    Decoded decoded;
    if (stream.frames.empty()) {
        decoded.error = "no frames";
        return decoded;
    }
    const int layer = 4 - ((stream.bytes[stream.frames[0].offset + 1] >> 1) & 3);
    const char* name = layer == 1 ? "mp1float" : layer == 2 ? "mp2float" : "mp3float";
    const AVCodec* codec = avcodec_find_decoder_by_name(name);
    if (!codec) {
        decoded.error = std::string("no decoder ") + name;
        return decoded;
    }
    CodecContextPtr context(avcodec_alloc_context3(codec));
    if (avcodec_open2(context.get(), codec, nullptr) < 0) {
        decoded.error = std::string("cannot open ") + name;
        return decoded;
    }
    PacketPtr packet(av_packet_alloc());
    FramePtr frame(av_frame_alloc());
    for (const FrameSpan& span : stream.frames) {
        std::size_t produced = 0;
        if (av_new_packet(packet.get(), static_cast<int>(span.size)) < 0) {
            decoded.error = "out of memory";
            return decoded;
        }
        std::memcpy(packet->data, stream.bytes.data() + span.offset, span.size);
        if (avcodec_send_packet(context.get(), packet.get()) < 0)
            ++decoded.failedFrames;
        av_packet_unref(packet.get());
        while (avcodec_receive_frame(context.get(), frame.get()) >= 0) {
            const int channels = frame->ch_layout.nb_channels;
            decoded.channels = channels;
            const auto format = static_cast<AVSampleFormat>(frame->format);
            for (int i = 0; i < frame->nb_samples; ++i)
                for (int ch = 0; ch < channels; ++ch) {
                    float v = 0.0f;
                    if (format == AV_SAMPLE_FMT_FLTP)
                        v = reinterpret_cast<const float*>(frame->extended_data[ch])[i];
                    else if (format == AV_SAMPLE_FMT_FLT)
                        v = reinterpret_cast<const float*>(frame->data[0])[i * channels + ch];
                    decoded.samples.push_back(std::clamp(v * 32768.0f, -32768.0f, 32767.0f));
                }
            produced += static_cast<std::size_t>(frame->nb_samples);
            av_frame_unref(frame.get());
        }
        decoded.frameSamples.push_back(produced);
    }
    return decoded;
}

Decoded DecodeWithMpg123(const Stream& stream) {
    Decoded decoded;
    if (stream.frames.empty()) {
        decoded.error = "no frames";
        return decoded;
    }
    int error = MPG123_OK;
    std::unique_ptr<mpg123_handle, Mpg123Deleter> handle(mpg123_new(nullptr, &error));
    mpg123_handle* mh = handle.get();
    const long flags = MPG123_QUIET | MPG123_IGNORE_INFOFRAME | MPG123_FORCE_FLOAT;
    if (!mh || mpg123_param(mh, MPG123_ADD_FLAGS, flags, 0.0) != MPG123_OK ||
        mpg123_param(mh, MPG123_REMOVE_FLAGS, MPG123_GAPLESS, 0.0) != MPG123_OK ||
        mpg123_format_none(mh) != MPG123_OK ||
        mpg123_format2(mh, 0, MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32) != MPG123_OK ||
        mpg123_open_feed(mh) != MPG123_OK) {
        decoded.error = std::string("cannot set up libmpg123: ") + mpg123_plain_strerror(error);
        return decoded;
    }
    std::vector<std::vector<float>> perFrame(stream.frames.size());
    int channels = 0;
    auto drain = [&] {
        for (;;) {
            off_t number = 0;
            unsigned char* audio = nullptr;
            std::size_t bytes = 0;
            const int result = mpg123_decode_frame(mh, &number, &audio, &bytes);
            if (result == MPG123_NEW_FORMAT) {
                long rate = 0;
                int encoding = 0;
                mpg123_getformat(mh, &rate, &channels, &encoding);
                continue;
            }
            if (result != MPG123_OK) {
                if (result != MPG123_NEED_MORE && result != MPG123_DONE)
                    ++decoded.failedFrames;
                return;
            }
            if (number < 0 || static_cast<std::size_t>(number) >= perFrame.size() || !audio)
                continue;
            const auto* samples = reinterpret_cast<const float*>(audio);
            std::vector<float>& out = perFrame[static_cast<std::size_t>(number)];
            out.clear();
            for (std::size_t i = 0; i < bytes / sizeof(float); ++i)
                out.push_back(std::clamp(samples[i] * 32768.0f, -32768.0f, 32767.0f));
        }
    };
    for (const FrameSpan& span : stream.frames) {
        mpg123_feed(mh, stream.bytes.data() + span.offset, span.size);
        drain();
    }
    decoded.channels = std::max(channels, 1);
    for (const std::vector<float>& frame : perFrame) {
        decoded.samples.insert(decoded.samples.end(), frame.begin(), frame.end());
        decoded.frameSamples.push_back(frame.size() / static_cast<std::size_t>(decoded.channels));
    }
    return decoded;
}

Decoded DecodeWithFramzel(const Stream& stream, int* sizeMismatches) {
    Decoded decoded;
    if (sizeMismatches)
        *sizeMismatches = 0;
    if (stream.frames.empty()) {
        decoded.error = "no frames";
        return decoded;
    }
    MpaInit();
    const std::uint8_t* first = stream.bytes.data() + stream.frames[0].offset;
    const int rest = static_cast<int>(stream.bytes.size() - stream.frames[0].offset);
    MpaFrameInfo info{};
    if (!MpaGetInfo(first, rest, info, MpaRemember::No) || !MpaDecodeInit(first, rest)) {
        decoded.error = "MpaDecodeInit failed with last error " + std::to_string(MpaLastError());
        return decoded;
    }
    decoded.channels = info.outputChannels;
    std::vector<std::int16_t> pcm(static_cast<std::size_t>(info.pcmBytesPerFrame) / 2);
    for (const FrameSpan& span : stream.frames) {
        std::fill(pcm.begin(), pcm.end(), std::int16_t{0});
        MpaDecodeJob job{};
        job.frame = stream.bytes.data() + span.offset;
        job.bytesAvailable = static_cast<int>(stream.bytes.size() - span.offset);
        job.pcm = pcm.data();
        if (!MpaDecodeFrame(job)) {
            ++decoded.failedFrames;
            decoded.frameSamples.push_back(0);
            continue;
        }
        if (sizeMismatches && static_cast<std::size_t>(job.bytesAvailable) != span.size)
            ++*sizeMismatches;
        const std::size_t count = static_cast<std::size_t>(job.pcmBytesWritten) / 2;
        for (std::size_t i = 0; i < count && i < pcm.size(); ++i)
            decoded.samples.push_back(pcm[i]);
        decoded.frameSamples.push_back(count / static_cast<std::size_t>(decoded.channels));
    }
    return decoded;
}

Difference Compare(const Decoded& ours, const Decoded& oracle, int skipFrames) {
    Difference difference;
    double sumSquares = 0.0;
    std::size_t ourOffset = 0, oracleOffset = 0;
    const std::size_t frames = std::min(ours.frameSamples.size(), oracle.frameSamples.size());
    const auto channels = static_cast<std::size_t>(std::max(ours.channels, 1));
    for (std::size_t f = 0; f < frames; ++f) {
        const std::size_t ourCount = ours.frameSamples[f] * channels;
        const std::size_t oracleCount =
            oracle.frameSamples[f] * static_cast<std::size_t>(std::max(oracle.channels, 1));
        if (f >= static_cast<std::size_t>(skipFrames) && ourCount > 0 && oracleCount > 0) {
            if (ourCount != oracleCount || ours.channels != oracle.channels) {
                ++difference.framesMismatched;
            } else {
                for (std::size_t i = 0; i < ourCount; ++i) {
                    const double d = static_cast<double>(ours.samples[ourOffset + i]) -
                                     static_cast<double>(oracle.samples[oracleOffset + i]);
                    sumSquares += d * d;
                    difference.maxLsb = std::max(difference.maxLsb, std::abs(d));
                }
                difference.samplesCompared += ourCount;
                ++difference.framesCompared;
            }
        }
        ourOffset += ourCount;
        oracleOffset += oracleCount;
    }
    if (difference.samplesCompared > 0)
        difference.rmsLsb = std::sqrt(sumSquares / static_cast<double>(difference.samplesCompared));
    return difference;
}

bool WithinTolerance(const Difference& d) {
    return d.samplesCompared > 0 && d.rmsLsb <= kToleranceRmsLsb && d.maxLsb <= kToleranceMaxLsb;
}

OracleComparison CompareWithOracles(const Stream& stream, const std::string& label) {
    const Decoded viaMpg123 = DecodeWithMpg123(stream);
    const Decoded viaFfmpeg = DecodeWithFfmpeg(stream);
    const Decoded ours = DecodeWithFramzel(stream);
    OracleComparison c;
    c.mpg123 = Compare(ours, viaMpg123);
    c.ffmpeg = Compare(ours, viaFfmpeg);
    c.oracles = Compare(viaFfmpeg, viaMpg123);
    c.oraclesDisagree = !WithinTolerance(c.oracles);
    c.oursFailed = ours.failedFrames;
    std::string notes;
    for (const auto& [name, decoded] :
         {std::pair{"mpg123", &viaMpg123}, std::pair{"FFmpeg", &viaFfmpeg}})
        if (!decoded->error.empty())
            notes += std::string(", ") + name + ": " + decoded->error;
    std::printf("%s: %zu frames, %zu compared | mpg123 RMS %.4f max %.3f LSB | FFmpeg RMS %.4f "
                "max %.3f LSB | FFmpeg vs mpg123 RMS %.4f max %.3f LSB%s%s\n",
                label.c_str(), stream.frames.size(), c.mpg123.framesCompared, c.mpg123.rmsLsb,
                c.mpg123.maxLsb, c.ffmpeg.rmsLsb, c.ffmpeg.maxLsb, c.oracles.rmsLsb,
                c.oracles.maxLsb, c.oraclesDisagree ? " ORACLES DISAGREE" : "", notes.c_str());
    std::fflush(stdout);
    return c;
}

void BitWriter::Put(std::uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
        if (m_bitCount % 8 == 0)
            m_bytes.push_back(0);
        if ((value >> i) & 1u)
            m_bytes.back() |= static_cast<std::uint8_t>(0x80u >> (m_bitCount % 8));
        ++m_bitCount;
    }
}

std::vector<std::uint8_t> BitWriter::Bytes(std::size_t size) const {
    std::vector<std::uint8_t> bytes = m_bytes;
    if (bytes.size() < size)
        bytes.resize(size, 0);
    return bytes;
}

} // namespace fz::test::mpa
