#include "fzdsp/filters/CMovieAudioDsp.h"
#include "fzdsp/filters/CMovieVideoDsp.h"
#include "fzdsp/formats/FrameRecord.h"
#include "fzdsp/formats/SoundFileHeader.h"
#include "platform/com/ComPtr.h"
#include "platform/com/ModuleCounts.h"
#include "platform/media/base/GraphInterfaces.h"
#include "platform/media/base/MediaTypes.h"
#include "platform/media/graph/FilterGraph.h"
#include "platform/media/graph/RendererClasses.h"
#include "tests/fzdsp/FilterTestSupport.h"
#include "tests/support/GeneratedMedia.h"
#include "tests/support/IsolatedEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <filesystem>
#include <string>

// The graph and the filters of this test program count in the program's own module.
FZ_COM_DEFINE_MODULE()

namespace fz::dsp {
namespace {

using com::ComPtr;
using namespace media;

ComPtr<IPin> PinOf(IBaseFilter* filter, const char* name) {
    ComPtr<IPin> pin;
    EXPECT_EQ(filter->FindPin(name, pin.ReleaseAndGetAddressOf()), com::S_OK) << name;
    return pin;
}

// Puts `filter` between the source pin that RenderFile connected to `renderer` and the
// renderer, as the conversion driver does; returns the major type that passes through.
GUID SpliceBefore(IGraphBuilder* graph, IBaseFilter* renderer, IBaseFilter* videoFilter,
                  IBaseFilter* audioFilter) {
    ComPtr<IPin> rendererInput = PinOf(renderer, "Input");
    ComPtr<IPin> source;
    if (rendererInput->ConnectedTo(source.ReleaseAndGetAddressOf()) != com::S_OK)
        return com::GUID_NULL;
    CMediaType type;
    source->ConnectionMediaType(&type);
    IBaseFilter* filter = type.majortype == MEDIATYPE_Video ? videoFilter : audioFilter;
    EXPECT_EQ(graph->Disconnect(source.Get()), com::S_OK);
    EXPECT_EQ(graph->Disconnect(rendererInput.Get()), com::S_OK);
    EXPECT_EQ(graph->Connect(source.Get(), PinOf(filter, "Input").Get()), com::S_OK);
    EXPECT_EQ(graph->Connect(PinOf(filter, "Output").Get(), rendererInput.Get()), com::S_OK);
    return type.majortype;
}

// A fast conversion's graph on a generated 2-s clip (MPEG-4 and MP3 in AVI, 25 pictures per
// second): FFmpeg source, the two filters recording from the first sample, null renderers.
TEST(FastGraphTest, BothFilesOfAGeneratedClipPassTheLayoutChecks) {
    const std::filesystem::path clip = fz::test::GeneratedClip(mediagen::ClipKind::AviMpeg4Mp3);
    ASSERT_FALSE(clip.empty());
    const auto folder = fz::test::FreshWorkDir("fast-graph");
    const std::string frames = (folder / "fz_00000001_clip.mjpg").string();
    const std::string sound = (folder / "fz_00000001_clip.wav").string();

    ComPtr<IGraphBuilder> graph;
    ASSERT_EQ(CreateFilterGraph(nullptr, IGraphBuilder::kIid, graph.PutVoid()), com::S_OK);
    ComPtr<IBaseFilter> sinks[2];
    for (ComPtr<IBaseFilter>& sink : sinks) {
        ASSERT_EQ(CreateNullRenderer(nullptr, IBaseFilter::kIid, sink.PutVoid()), com::S_OK);
        ASSERT_FALSE(com::Failed(graph->AddFilter(sink.Get(), nullptr)));
    }
    test::VideoFilter video;
    test::AudioFilter audio;
    video->SetOutputFormat(320, 240, 0, 1, 0);
    video->SetFrameRate(5 + 0.01);
    video->SetQuality(80);
    video->SetFileName(frames.c_str());
    video->SetPreviewMode(0);
    StreamSyncRecord* status = nullptr;
    video->GetStatusRecord(&status);
    video->Open();
    audio->SetAudioFormat(8000, 24000, 2);
    audio->SetFileName(sound.c_str());
    audio->SetPreviewMode(0);
    audio->SetStatusRecord(status);
    audio->Open();
    ComPtr<IBaseFilter> videoFilter;
    ComPtr<IBaseFilter> audioFilter;
    ASSERT_EQ(video->QueryInterface(IBaseFilter::kIid, videoFilter.PutVoid()), com::S_OK);
    ASSERT_EQ(audio->QueryInterface(IBaseFilter::kIid, audioFilter.PutVoid()), com::S_OK);
    ASSERT_EQ(graph->AddFilter(videoFilter.Get(), "Movie Video DSP"), com::S_OK);
    ASSERT_EQ(graph->AddFilter(audioFilter.Get(), "Movie Audio DSP"), com::S_OK);

    ASSERT_EQ(graph->RenderFile(clip.c_str(), nullptr), com::S_OK);
    int spliced = 0;
    for (ComPtr<IBaseFilter>& sink : sinks)
        if (SpliceBefore(graph.Get(), sink.Get(), videoFilter.Get(), audioFilter.Get()) !=
            com::GUID_NULL)
            ++spliced;
    ASSERT_EQ(spliced, 2);

    ComPtr<IMediaControl> control;
    ComPtr<IMediaEvent> events;
    ASSERT_EQ(graph.As(&control), com::S_OK);
    ASSERT_EQ(graph.As(&events), com::S_OK);
    ASSERT_EQ(control->Run(), com::S_OK);
    long code = 0;
    EXPECT_EQ(events->WaitForCompletion(60000, &code), com::S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    control->Stop();
    int lengthMs = -1;
    audio->Close(&lengthMs);
    audio->SetStatusRecord(nullptr);
    video->Close();

    // The frame file: whole records of complete JPEG images, rising time stamps from 0, about
    // 6 pictures per second of the 2-s source.
    const std::string frameBytes = fz::test::ReadFile(frames);
    FrameRecordReader reader(
        std::span(reinterpret_cast<const std::uint8_t*>(frameBytes.data()), frameBytes.size()));
    std::vector<std::int32_t> stamps;
    while (auto record = reader.Next()) {
        const auto& image = record->image;
        ASSERT_GE(image.size(), kMinFrameImageSize);
        EXPECT_EQ(image[0], 0xFF);
        EXPECT_EQ(image[1], 0xD8);
        EXPECT_EQ(image[image.size() - 2], 0xFF);
        EXPECT_EQ(image[image.size() - 1], 0xD9);
        EXPECT_EQ(static_cast<std::size_t>(image[14] | image[15] << 8 | image[16] << 16 |
                                           image[17] << 24),
                  image.size());
        EXPECT_EQ(image.size() % 4, 0u);
        stamps.push_back(record->timeStampMs);
    }
    EXPECT_FALSE(reader.IsDamaged());
    ASSERT_GE(stamps.size(), 11u);
    EXPECT_LE(stamps.size(), 13u);
    EXPECT_EQ(stamps.front(), 0);
    EXPECT_TRUE(std::is_sorted(stamps.begin(), stamps.end()));

    // The sound file: a finished header at the source's rate and channels, and as long as the
    // source within 100 ms.
    const std::string soundBytes = fz::test::ReadFile(sound);
    ASSERT_GE(soundBytes.size(), kSoundFileHeaderSize);
    const auto header = SoundFileHeader::Decode(
        std::span(reinterpret_cast<const std::uint8_t*>(soundBytes.data()), kSoundFileHeaderSize));
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->channels, 2);
    EXPECT_EQ(header->sampleRate, 44100u);
    EXPECT_EQ(header->dataSize, soundBytes.size() - 44);
    EXPECT_EQ(header->riffSize, soundBytes.size() - 8);
    const double seconds = static_cast<double>(header->dataSize) / header->BytesPerSecond();
    EXPECT_NEAR(seconds, 2.0, 0.1);
}

} // namespace
} // namespace fz::dsp
