// The generated sources are what their kind says: read back with libavformat and decoded with
// libavcodec, each has the container, codecs, picture size and sound format of its kind, every
// picture carries its own frame number, and the marker's white picture and click fall at the
// same source time.
#include "tests/support/GeneratedMedia.h"
#include "tests/support/IsolatedEnvironment.h"
#include "tools/mediagen/ClipGenerator.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <memory>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace fz::test {
namespace {

using mediagen::ClipKind;
using mediagen::ClipKindInfo;

// One sample of a decoded sound frame as a value of full scale ±1.
float SampleValue(const AVFrame& frame, int channel, int index) {
    const auto format = static_cast<AVSampleFormat>(frame.format);
    const int channels = frame.ch_layout.nb_channels;
    const bool planar = av_sample_fmt_is_planar(format);
    const std::uint8_t* base = frame.extended_data[planar ? channel : 0];
    const int at = planar ? index : index * channels + channel;
    switch (format) {
    case AV_SAMPLE_FMT_U8:
    case AV_SAMPLE_FMT_U8P:
        return (base[at] - 128) / 128.0f;
    case AV_SAMPLE_FMT_S16:
    case AV_SAMPLE_FMT_S16P:
        return reinterpret_cast<const std::int16_t*>(base)[at] / 32768.0f;
    case AV_SAMPLE_FMT_S32:
    case AV_SAMPLE_FMT_S32P:
        return static_cast<float>(reinterpret_cast<const std::int32_t*>(base)[at] / 2147483648.0);
    case AV_SAMPLE_FMT_FLT:
    case AV_SAMPLE_FMT_FLTP:
        return reinterpret_cast<const float*>(base)[at];
    default:
        ADD_FAILURE() << "unexpected sample format " << format;
        return 0.0f;
    }
}

struct DecodedClip {
    std::string formatName;
    double durationSeconds = 0.0;
    std::string videoCodec, audioCodec;
    int width = 0, height = 0;
    int sampleRate = 0, channels = 0;
    std::vector<std::optional<std::int64_t>> frameNumbers; // per decoded picture, in order
    std::vector<bool> whitePictures;
    std::int64_t soundSamples = 0;
    std::int64_t firstLoudSample = -1; // first sample above the tone's level (the click)
};

struct FormatCloser {
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct CodecFreer {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};

DecodedClip DecodeClip(const std::filesystem::path& path) {
    DecodedClip clip;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
        ADD_FAILURE() << "libavformat cannot open " << path;
        return clip;
    }
    std::unique_ptr<AVFormatContext, FormatCloser> format(raw);
    EXPECT_GE(avformat_find_stream_info(format.get(), nullptr), 0);
    clip.formatName = format->iformat->name;
    clip.durationSeconds = format->duration != AV_NOPTS_VALUE
                               ? static_cast<double>(format->duration) / AV_TIME_BASE
                               : 0.0;
    std::vector<std::unique_ptr<AVCodecContext, CodecFreer>> decoders(format->nb_streams);
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVCodecParameters& par = *format->streams[i]->codecpar;
        if (par.codec_type == AVMEDIA_TYPE_VIDEO) {
            clip.videoCodec = avcodec_get_name(par.codec_id);
            clip.width = par.width;
            clip.height = par.height;
        } else if (par.codec_type == AVMEDIA_TYPE_AUDIO) {
            clip.audioCodec = avcodec_get_name(par.codec_id);
            clip.sampleRate = par.sample_rate;
            clip.channels = par.ch_layout.nb_channels;
        } else {
            continue;
        }
        const AVCodec* codec = avcodec_find_decoder(par.codec_id);
        if (codec == nullptr) {
            ADD_FAILURE() << "no decoder for " << avcodec_get_name(par.codec_id);
            continue;
        }
        decoders[i].reset(avcodec_alloc_context3(codec));
        avcodec_parameters_to_context(decoders[i].get(), &par);
        EXPECT_GE(avcodec_open2(decoders[i].get(), codec, nullptr), 0);
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    SwsContext* scaler = nullptr;
    std::vector<std::uint8_t> bgra;
    auto takeFrames = [&](AVCodecContext& decoder) {
        while (avcodec_receive_frame(&decoder, frame) >= 0) {
            if (decoder.codec_type == AVMEDIA_TYPE_VIDEO) {
                scaler = sws_getCachedContext(scaler, frame->width, frame->height,
                                              static_cast<AVPixelFormat>(frame->format),
                                              frame->width, frame->height, AV_PIX_FMT_BGRA,
                                              SWS_BILINEAR, nullptr, nullptr, nullptr);
                const int stride = frame->width * 4;
                bgra.assign(static_cast<std::size_t>(stride) * frame->height, 0);
                std::uint8_t* planes[4] = {bgra.data(), nullptr, nullptr, nullptr};
                int strides[4] = {stride, 0, 0, 0};
                sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
                clip.frameNumbers.push_back(mediagen::ReadFrameNumber(
                    bgra.data(), frame->width, frame->height, stride, false));
                clip.whitePictures.push_back(
                    mediagen::IsWhitePicture(bgra.data(), frame->width, frame->height, stride));
            } else {
                for (int i = 0; i < frame->nb_samples; ++i) {
                    if (clip.firstLoudSample < 0 && std::fabs(SampleValue(*frame, 0, i)) > 0.6f)
                        clip.firstLoudSample = clip.soundSamples + i;
                }
                clip.soundSamples += frame->nb_samples;
            }
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(format.get(), packet) >= 0) {
        AVCodecContext* decoder = decoders[packet->stream_index].get();
        if (decoder != nullptr && avcodec_send_packet(decoder, packet) >= 0)
            takeFrames(*decoder);
        av_packet_unref(packet);
    }
    for (auto& decoder : decoders) {
        if (decoder) {
            avcodec_send_packet(decoder.get(), nullptr);
            takeFrames(*decoder);
        }
    }
    sws_freeContext(scaler);
    av_frame_free(&frame);
    av_packet_free(&packet);
    return clip;
}

class MakeClipKindTest : public ::testing::TestWithParam<ClipKind> {};

TEST_P(MakeClipKindTest, ReadsBackAsItsKindWithEveryPictureAndTheMarkerAligned) {
    const ClipKindInfo& info = mediagen::KindInfo(GetParam());
    mediagen::ClipOptions options = StandardClipOptions(GetParam());
    options.markerSeconds = 1.01; // in picture 25, which starts at 1.0 s
    const auto path = GeneratedClip("marker." + std::string(info.extension), options);
    ASSERT_FALSE(path.empty());
    const DecodedClip clip = DecodeClip(path);

    EXPECT_NE(clip.formatName.find(std::string(info.muxer)), std::string::npos) << clip.formatName;
    EXPECT_NEAR(clip.durationSeconds, options.durationSeconds, 0.1);
    EXPECT_EQ(clip.videoCodec, info.videoCodec);
    EXPECT_EQ(clip.audioCodec, info.audioCodec);
    const std::int64_t marker = mediagen::MarkerFrameIndex(options);
    ASSERT_EQ(marker, 25);
    if (!info.videoCodec.empty()) {
        EXPECT_EQ(clip.width, options.width);
        EXPECT_EQ(clip.height, options.height);
        ASSERT_EQ(static_cast<std::int64_t>(clip.frameNumbers.size()),
                  mediagen::FrameCount(options));
        for (std::size_t i = 0; i < clip.frameNumbers.size(); ++i) {
            if (static_cast<std::int64_t>(i) == marker) {
                EXPECT_TRUE(clip.whitePictures[i]) << "picture " << i;
                EXPECT_FALSE(clip.frameNumbers[i].has_value());
            } else {
                EXPECT_FALSE(clip.whitePictures[i]) << "picture " << i;
                EXPECT_EQ(clip.frameNumbers[i], std::optional<std::int64_t>(i)) << "picture " << i;
            }
        }
    }
    if (!info.audioCodec.empty()) {
        EXPECT_EQ(clip.sampleRate, info.sampleRate);
        EXPECT_EQ(clip.channels, info.channels);
        // Lossy coders add a frame or two of delay and padding at the ends.
        EXPECT_NEAR(static_cast<double>(clip.soundSamples) / clip.sampleRate,
                    options.durationSeconds, 0.12);
        ASSERT_GE(clip.firstLoudSample, 0) << "no click in the sound";
        const double clickSeconds = static_cast<double>(clip.firstLoudSample) / clip.sampleRate;
        // The click lands near the white picture's start: the coders' delay and pre-echo move
        // it by a few milliseconds, the WMA coders by up to one 2048-sample block (46 ms).
        EXPECT_NEAR(clickSeconds, 1.0, 0.05) << "click at " << clickSeconds << " s";
    }
}

std::vector<ClipKind> EveryKind() {
    std::size_t count = 0;
    const ClipKindInfo* kinds = mediagen::AllKinds(&count);
    std::vector<ClipKind> all;
    for (std::size_t i = 0; i < count; ++i)
        all.push_back(kinds[i].kind);
    return all;
}

INSTANTIATE_TEST_SUITE_P(EveryKind, MakeClipKindTest, ::testing::ValuesIn(EveryKind()),
                         [](const ::testing::TestParamInfo<ClipKind>& param) {
                             std::string name(mediagen::KindInfo(param.param).name);
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

TEST(MakeClipTest, OptionsShapeTheClip) {
    mediagen::ClipOptions options;
    options.width = 176;
    options.height = 144;
    options.frameRateNum = 30000;
    options.frameRateDen = 1001;
    options.durationSeconds = 1.0;
    const auto path = GeneratedClip("small.avi", options);
    ASSERT_FALSE(path.empty());
    const DecodedClip clip = DecodeClip(path);
    EXPECT_EQ(clip.width, 176);
    EXPECT_EQ(clip.height, 144);
    EXPECT_EQ(mediagen::FrameCount(options), 30);
    ASSERT_EQ(clip.frameNumbers.size(), 30u);
    EXPECT_EQ(clip.frameNumbers.back(), std::optional<std::int64_t>(29));
    EXPECT_EQ(clip.firstLoudSample, -1) << "a clip without a marker has no click";
}

TEST(MakeClipTest, RefusesWhatItCannotWriteAndLeavesNoFile) {
    struct Case {
        const char* what;
        int width, height, rateNum;
        double duration;
    };
    const Case cases[] = {
        {"odd width", 321, 240, 25, 1.0},
        {"tiny picture", 8, 8, 25, 1.0},
        {"no frame rate", 320, 240, 0, 1.0},
        {"no duration", 320, 240, 25, 0.0},
    };
    const auto folder = FreshWorkDir("refused");
    for (const Case& c : cases) {
        mediagen::ClipOptions options;
        options.width = c.width;
        options.height = c.height;
        options.frameRateNum = c.rateNum;
        options.durationSeconds = c.duration;
        std::string error;
        EXPECT_FALSE(mediagen::WriteClip(folder / "x.avi", options, &error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
        EXPECT_FALSE(std::filesystem::exists(folder / "x.avi")) << c.what;
    }
    // MPEG-1 knows only its standard picture rates.
    mediagen::ClipOptions mpeg;
    mpeg.kind = ClipKind::Mpeg1System;
    mpeg.frameRateNum = 7;
    std::string error;
    EXPECT_FALSE(mediagen::WriteClip(folder / "x.mpg", mpeg, &error));
    EXPECT_FALSE(std::filesystem::exists(folder / "x.mpg"));
    EXPECT_FALSE(mediagen::WriteClip(folder / "missing-folder" / "x.avi", {}, &error));
    EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
}

} // namespace
} // namespace fz::test
