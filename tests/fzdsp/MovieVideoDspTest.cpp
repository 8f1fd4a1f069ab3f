#include "fzdsp/filters/CMovieVideoDsp.h"
#include "fzdsp/formats/FrameRecord.h"
#include "fzdsp/picture/PictureScaler.h"
#include "platform/media/base/MediaTypes.h"
#include "tests/fzdsp/FilterTestSupport.h"
#include "tests/fzdsp/JpegTestDecoder.h"
#include "tests/fzdsp/PictureTestSupport.h"
#include "tests/support/IsolatedEnvironment.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fz::dsp {
namespace {

using media::CMediaType;
using media::IMediaSample;
using test::SamplePool;
using test::VideoFilter;

constexpr int kSourceWidth = 64;
constexpr int kSourceHeight = 48;

CMediaType SourceType(int width = kSourceWidth, int height = kSourceHeight) {
    return media::MakeVideoType(media::MEDIASUBTYPE_RGB32, width, height, 400000);
}

struct Record {
    std::int32_t timeStampMs;
    std::vector<std::uint8_t> image;
};

std::vector<Record> ReadRecords(const std::filesystem::path& path) {
    const std::string bytes = fz::test::ReadFile(path);
    FrameRecordReader reader(
        std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    std::vector<Record> records;
    while (auto record = reader.Next())
        records.push_back({record->timeStampMs, {record->image.begin(), record->image.end()}});
    EXPECT_FALSE(reader.IsDamaged());
    return records;
}

std::vector<std::int32_t> TimeStamps(const std::vector<Record>& records) {
    std::vector<std::int32_t> stamps;
    for (const Record& record : records)
        stamps.push_back(record.timeStampMs);
    return stamps;
}

// A video filter on a 64 x 48 RGB32 source, its frame file in a fresh folder.
class VideoRig {
public:
    VideoRig(const std::string& name, int width, int height, int rotate = 0)
        : m_frames(fz::test::FreshWorkDir(name) / "base.mjpg") {
        m_filter->SetOutputFormat(width, height, rotate, 1, 0);
        m_filter->SetFileName(m_frames.c_str());
        const CMediaType type = SourceType();
        EXPECT_EQ(m_filter.FilterObject().CheckInputType(&type), com::S_OK);
    }

    // One source frame at `ms`; the output buffer it produced.
    HRESULT Frame(std::int64_t ms, com::ComPtr<IMediaSample>* delivered = nullptr) {
        com::ComPtr<IMediaSample> in = m_input.Sample(m_picture, ms);
        com::ComPtr<IMediaSample> out = m_output.Buffer();
        const HRESULT result = m_filter.FilterObject().Transform(in.Get(), out.Get());
        if (delivered)
            *delivered = out;
        return result;
    }
    void Frames(std::int64_t fromMs, std::int64_t toMs, std::int64_t stepMs) {
        for (std::int64_t ms = fromMs; ms <= toMs; ms += stepMs)
            ASSERT_EQ(Frame(ms), com::S_OK) << ms;
    }

    VideoFilter& Filter() { return m_filter; }
    StreamSyncRecord& Status() {
        StreamSyncRecord* record = nullptr;
        m_filter->GetStatusRecord(&record);
        return *record;
    }
    const std::filesystem::path& FramesPath() const { return m_frames; }
    const std::vector<std::uint8_t>& Picture() const { return m_picture; }

private:
    std::filesystem::path m_frames;
    VideoFilter m_filter;
    std::vector<std::uint8_t> m_picture =
        fz::test::RandomPicture(kSourceWidth, kSourceHeight, 4, 3);
    SamplePool m_input{1, kSourceWidth* kSourceHeight * 4};
    SamplePool m_output{1, 64 * 64 * 4};
};

// A 25 fps source at 6.01 pictures per second keeps the first frame at or after each due time;
// each record holds a complete JPEG of the target size with its length at bytes 14..17.
TEST(MovieVideoDspTest, KeepsTheFramesDueAtTheTargetRate) {
    VideoRig rig("rate", 32, 16);
    rig.Filter()->SetFrameRate(5.01);
    EXPECT_NEAR(rig.Filter().FilterObject().Schedule().IntervalMs(), 1000.0 / 6.01, 1e-9);
    rig.Filter()->SetPreviewMode(0);
    rig.Filter()->Open();
    rig.Frames(0, 760, 40);
    rig.Filter()->Close();

    const std::vector<Record> records = ReadRecords(rig.FramesPath());
    EXPECT_EQ(TimeStamps(records), (std::vector<std::int32_t>{0, 200, 360, 520, 680}));
    std::size_t fileBytes = 0;
    std::size_t largest = 0;
    for (const Record& record : records) {
        const std::size_t length = record.image.size();
        fileBytes += 8 + length;
        largest = std::max(largest, length);
        ASSERT_GE(length, 18u);
        EXPECT_EQ(record.image[0], 0xFF);
        EXPECT_EQ(record.image[1], 0xD8);
        EXPECT_EQ(record.image[length - 1], 0xD9);
        EXPECT_EQ(record.image[14] | record.image[15] << 8 | record.image[16] << 16 |
                      record.image[17] << 24,
                  static_cast<int>(length));
        EXPECT_EQ(length % 4, 0u) << "the YUV422 encoder writes groups of four bytes";
    }
    EXPECT_EQ(std::filesystem::file_size(rig.FramesPath()), fileBytes);
    int reported = 0;
    rig.Filter()->GetLargestFrame(&reported);
    EXPECT_EQ(reported, static_cast<int>(largest));
    EXPECT_FALSE(std::filesystem::exists(rig.FramesPath().string() + ".jpg"))
        << "Close deletes the temporary JPEG file";

    // The images decode to the target size.
    const auto copy = fz::test::FreshWorkDir("rate-decoded") / "one.jpg";
    fz::test::WriteFile(copy, std::string(records[0].image.begin(), records[0].image.end()));
    const auto decoded = fz::test::DecodeJpegFile(copy.string());
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->width, 32);
    EXPECT_EQ(decoded->height, 16);
}

// A seek forward by 10 s re-anchors the schedule at the new time instead of taking a burst of
// frames to catch up; frames without a time use the tick count and do not fail.
TEST(MovieVideoDspTest, ASeekReanchorsTheSchedule) {
    VideoRig rig("seek", 32, 16);
    rig.Filter()->SetFrameRate(5.01);
    rig.Filter()->SetPreviewMode(0);
    rig.Filter()->Open();
    rig.Frames(0, 400, 40);
    rig.Frames(10000, 10400, 40);
    rig.Filter()->Close();
    EXPECT_EQ(TimeStamps(ReadRecords(rig.FramesPath())),
              (std::vector<std::int32_t>{0, 200, 360, 10000, 10200, 10360}));
}

// With rotation 90 and the preview not rotated, the output pin carries the unrotated scaled
// picture (target height x target width) while the frame file receives rotated pictures.
TEST(MovieVideoDspTest, Rotation90WithPreviewRotationOff) {
    VideoRig rig("rotate", 32, 16, 90);
    int width = 0;
    int height = 0;
    rig.Filter()->GetOutputSize(&width, &height);
    EXPECT_EQ(width, 16);
    EXPECT_EQ(height, 32);
    rig.Filter()->SetPreviewRotate(0);
    rig.Filter()->SetPreviewMode(0);

    const CMediaType in = SourceType();
    const CMediaType unrotated = media::MakeVideoType(media::MEDIASUBTYPE_RGB24, 32, 16, 0);
    const CMediaType rotated = media::MakeVideoType(media::MEDIASUBTYPE_RGB24, 16, 32, 0);
    EXPECT_EQ(rig.Filter().FilterObject().CheckTransform(&in, &unrotated), com::S_OK);
    EXPECT_EQ(rig.Filter().FilterObject().CheckTransform(&in, &rotated), com::E_INVALIDARG);

    rig.Filter()->Open();
    com::ComPtr<IMediaSample> out;
    ASSERT_EQ(rig.Frame(0, &out), com::S_OK);
    rig.Filter()->Close();

    BitmapInfoHeader header;
    header.width = kSourceWidth;
    header.height = kSourceHeight;
    header.bitCount = 32;
    CPictureScaler expected;
    ASSERT_TRUE(expected.SetSource(header, rig.Picture().data()));
    const std::uint8_t* scaled = expected.Scale(32, 16);
    ASSERT_NE(scaled, nullptr);
    EXPECT_EQ(out->GetActualDataLength(), 32 * 16 * 3);
    std::uint8_t* delivered = nullptr;
    out->GetPointer(&delivered);
    EXPECT_EQ(std::memcmp(delivered, expected.OutputPixels(), 32 * 16 * 3), 0)
        << "the preview is the unrotated picture";

    const std::vector<Record> records = ReadRecords(rig.FramesPath());
    ASSERT_EQ(records.size(), 1u);
    const auto copy = fz::test::FreshWorkDir("rotate-decoded") / "one.jpg";
    fz::test::WriteFile(copy, std::string(records[0].image.begin(), records[0].image.end()));
    const auto decoded = fz::test::DecodeJpegFile(copy.string());
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->width, 16);
    EXPECT_EQ(decoded->height, 32);
}

// In preview mode nothing is recorded until the sound has started and the offset is positive.
TEST(MovieVideoDspTest, PreviewModeStartsRecordingInStepWithTheSound) {
    struct Case {
        const char* name;
        std::int32_t audioFirstTime;
        std::vector<std::int64_t> frames;
        std::vector<std::int32_t> offsets; // videoOffset after each frame
        std::vector<std::int32_t> stamps;
    };
    const Case cases[] = {
        {"sound starting at 0", 0, {0, 200, 400}, {1, 1, 1}, {0, 200}},
        {"video 400 ms ahead", 1400, {1000, 1200, 1400, 1600}, {-200, 1, 1, 1}, {0, 200}},
    };
    for (const Case& c : cases) {
        VideoRig rig(std::string("preview-") + std::to_string(c.audioFirstTime), 32, 16);
        rig.Filter()->SetFrameRate(4.0); // 5 per second: 200 ms apart
        rig.Filter()->Open();
        Store(rig.Status().audioStarted, 1);
        Store(rig.Status().audioFirstTime, c.audioFirstTime);
        std::vector<std::int32_t> offsets;
        for (std::int64_t ms : c.frames) {
            ASSERT_EQ(rig.Frame(ms), com::S_OK) << c.name;
            int offset = 0;
            rig.Filter()->GetStartOffset(&offset);
            offsets.push_back(offset);
        }
        rig.Filter()->Close();
        EXPECT_EQ(offsets, c.offsets) << c.name;
        EXPECT_EQ(TimeStamps(ReadRecords(rig.FramesPath())), c.stamps) << c.name;
    }
}

// Open closes first: the frame file starts again and so do the time stamps.
TEST(MovieVideoDspTest, OpenTwiceTruncatesTheFrameFile) {
    VideoRig rig("reopen", 32, 16);
    rig.Filter()->SetFrameRate(4.0);
    rig.Filter()->SetPreviewMode(0);
    rig.Filter()->Open();
    rig.Frames(0, 400, 200);
    ASSERT_EQ(ReadRecords(rig.FramesPath()).size(), 3u);
    rig.Filter()->Open();
    EXPECT_EQ(std::filesystem::file_size(rig.FramesPath()), 0u);
    rig.Frames(5000, 5200, 200);
    rig.Filter()->Close();
    EXPECT_EQ(TimeStamps(ReadRecords(rig.FramesPath())), (std::vector<std::int32_t>{0, 200}));
}

// Without an open frame file the filter previews only; an uncreatable frame file is ignored.
TEST(MovieVideoDspTest, PreviewsWithoutRecordingWhenNoFileIsOpen) {
    VideoRig rig("nofile", 32, 16);
    rig.Filter()->SetPreviewMode(0);
    rig.Frames(0, 400, 40);
    EXPECT_FALSE(std::filesystem::exists(rig.FramesPath()));
    const std::string unusable = (fz::test::FreshWorkDir("nofile-2") / "missing" / "x").string();
    rig.Filter()->SetFileName(unusable.c_str());
    EXPECT_EQ(rig.Filter()->Open(), com::S_OK);
    rig.Frames(1000, 1400, 40);
    EXPECT_EQ(rig.Filter()->Close(), com::S_OK);
}

TEST(MovieVideoDspTest, InputTypesAndTargetRounding) {
    VideoFilter filter;
    auto& object = filter.FilterObject();
    EXPECT_EQ(object.CheckInputType(nullptr), com::E_POINTER);
    filter->SetOutputFormat(0, 128, 0, 1, 0);
    CMediaType type = SourceType();
    EXPECT_EQ(object.CheckInputType(&type), com::E_FAIL) << "no target width";

    filter->SetOutputFormat(176, 220, 0, 1, 0);
    struct Case {
        const char* name;
        CMediaType type;
        HRESULT expected;
    };
    CMediaType audio = media::MakePcmType(22050, 2, 16);
    CMediaType noFormat = SourceType();
    noFormat.SetFormatType(media::FORMAT_None);
    CMediaType yuv = SourceType();
    yuv.SetSubtype(media::MEDIATYPE_Stream);
    const Case cases[] = {
        {"audio", audio, com::E_INVALIDARG},
        {"no video-info format", noFormat, com::E_INVALIDARG},
        {"other subtype", yuv, com::E_FAIL},
        // Work buffers of 16 GiB: refused before streaming instead of failing every frame.
        {"source too large", SourceType(65535, 65535), com::E_FAIL},
        {"top-down source", SourceType(64, -48), com::E_FAIL},
        {"RGB24", media::MakeVideoType(media::MEDIASUBTYPE_RGB24, 64, 48, 0), com::S_OK},
        {"RGB32", SourceType(), com::S_OK},
    };
    for (const Case& c : cases)
        EXPECT_EQ(object.CheckInputType(&c.type), c.expected) << c.name;

    // The target is rounded once, at the first acceptance, to the YUV422 encoder's 16.
    int width = 0;
    int height = 0;
    filter->GetOutputSize(&width, &height);
    EXPECT_EQ(width, 176);
    EXPECT_EQ(height, 224);
    filter->SetOutputFormat(150, 100, 0, 1, 0);
    EXPECT_EQ(object.CheckInputType(&type), com::S_OK);
    filter->GetOutputSize(&width, &height);
    EXPECT_EQ(width, 150);
    EXPECT_EQ(height, 100);

    VideoFilter rotated;
    rotated->SetOutputFormat(160, 128, 90, 1, 0);
    EXPECT_EQ(rotated.FilterObject().CheckInputType(&type), com::S_OK);
    rotated->GetOutputSize(&width, &height);
    EXPECT_EQ(width, 128);
    EXPECT_EQ(height, 160);

    // Nothing connected yet: the output pin's questions wait for the input.
    CMediaType offered;
    EXPECT_EQ(object.GetMediaType(0, &offered), com::E_UNEXPECTED);
}

// A kept frame's output sample carries the input's times and flags, but not the input's own
// media type: that describes the source's pictures, not the preview. A start time without a
// stop time is a valid time.
TEST(MovieVideoDspTest, OutputSampleCarriesTheInputsTimesNotItsType) {
    VideoRig rig("properties", 32, 16);
    SamplePool input(1, kSourceWidth * kSourceHeight * 4);
    SamplePool output(1, 64 * 64 * 4);
    auto in = input.Sample(rig.Picture(), 0, false);
    const media::REFERENCE_TIME start = 12300000;
    in->SetTime(&start, nullptr);
    in->SetSyncPoint(true);
    in->SetDiscontinuity(true);
    const CMediaType sourceType = SourceType();
    in->SetMediaType(&sourceType);
    auto out = output.Buffer();
    ASSERT_EQ(rig.Filter().FilterObject().Transform(in.Get(), out.Get()), com::S_OK);
    media::REFERENCE_TIME outStart = 0;
    media::REFERENCE_TIME outStop = 0;
    EXPECT_EQ(out->GetTime(&outStart, &outStop), media::VFW_S_NO_STOP_TIME);
    EXPECT_EQ(outStart, start);
    EXPECT_EQ(out->IsSyncPoint(), com::S_OK);
    EXPECT_EQ(out->IsDiscontinuity(), com::S_OK);
    media::AM_MEDIA_TYPE* type = nullptr;
    EXPECT_EQ(out->GetMediaType(&type), com::S_FALSE);
    EXPECT_EQ(type, nullptr);
    EXPECT_NEAR(rig.Filter().FilterObject().Schedule().NextDueMs(), 1230.0 + 195.0, 1e-9)
        << "scheduled by the sample's own time";
}

// A frame whose sample is shorter than its picture is refused, not read past its end.
TEST(MovieVideoDspTest, RefusesASampleShorterThanItsPicture) {
    VideoFilter filter;
    filter->SetOutputFormat(32, 16, 0, 1, 0);
    const CMediaType type = SourceType();
    ASSERT_EQ(filter.FilterObject().CheckInputType(&type), com::S_OK);
    SamplePool input(1, 100);
    SamplePool output(1, 32 * 16 * 4);
    auto in = input.Sample(std::vector<std::uint8_t>(100, 7), 0);
    auto out = output.Buffer();
    EXPECT_EQ(filter.FilterObject().Transform(in.Get(), out.Get()), com::E_FAIL);
    EXPECT_EQ(filter.FilterObject().Transform(nullptr, out.Get()), com::E_POINTER);
}

} // namespace
} // namespace fz::dsp
