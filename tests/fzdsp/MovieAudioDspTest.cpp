#include "fzdsp/filters/CMovieAudioDsp.h"
#include "fzdsp/formats/SoundFileHeader.h"
#include "platform/media/base/MediaTypes.h"
#include "tests/fzdsp/FilterTestSupport.h"
#include "tests/support/IsolatedEnvironment.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fz::dsp {
namespace {

using media::CMediaType;
using media::IMediaSample;
using test::AudioFilter;
using test::SamplePool;

std::vector<std::uint8_t> Pcm16(const std::vector<std::int16_t>& samples) {
    std::vector<std::uint8_t> bytes(samples.size() * 2);
    std::memcpy(bytes.data(), samples.data(), bytes.size());
    return bytes;
}

std::vector<std::int16_t> Samples(IMediaSample* sample) {
    std::uint8_t* data = nullptr;
    sample->GetPointer(&data);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(sample->GetActualDataLength()) / 2);
    std::memcpy(samples.data(), data, samples.size() * 2);
    return samples;
}

// An audio filter accepting PCM of the given rate, channels and bits, reporting into its own
// status record.
class AudioRig {
public:
    AudioRig(std::uint32_t rate, std::uint16_t channels, std::uint16_t bits,
             unsigned outputChannels, int gain = 0) {
        m_filter->SetAudioFormat(8000, 24000, outputChannels);
        m_filter->SetStatusRecord(&m_status);
        m_filter->SetGain(gain);
        const CMediaType type = media::MakePcmType(rate, channels, bits);
        EXPECT_EQ(m_filter.FilterObject().CheckInputType(&type), com::S_OK);
    }

    HRESULT Transform(const std::vector<std::uint8_t>& bytes, std::int64_t ms,
                      com::ComPtr<IMediaSample>* delivered = nullptr, long outputSize = 200000) {
        SamplePool input(1, std::max<long>(static_cast<long>(bytes.size()), 1));
        SamplePool output(1, outputSize);
        com::ComPtr<IMediaSample> in = input.Sample(bytes, ms);
        com::ComPtr<IMediaSample> out = output.Buffer();
        const HRESULT result = m_filter.FilterObject().Transform(in.Get(), out.Get());
        if (delivered) {
            // The pool goes away with this call: keep the values, not the buffer.
            m_lastOutput = Samples(out.Get());
            *delivered = nullptr;
        }
        return result;
    }
    const std::vector<std::int16_t>& LastOutput() const { return m_lastOutput; }

    AudioFilter& Filter() { return m_filter; }
    StreamSyncRecord& Status() { return m_status; }

private:
    StreamSyncRecord m_status;
    AudioFilter m_filter;
    std::vector<std::int16_t> m_lastOutput;
};

// 8-bit widening, the channel steps and the gain, each on hand-computed samples.
TEST(MovieAudioDspTest, ConvertsTo16BitsTheChannelsAndTheGain) {
    struct Case {
        const char* name;
        std::uint16_t channels, bits;
        unsigned outputChannels;
        int gain;
        std::vector<std::uint8_t> input;
        std::vector<std::int16_t> expected;
    };
    const Case cases[] = {
        {"8-bit mono to stereo",
         1,
         8,
         2,
         0,
         {0x80, 0xFF, 0x00},
         {0, 0, 32512, 32512, -32768, -32768}},
        {"stereo to mono rounds down", 2, 16, 1, 0, Pcm16({-3, 0, 5, 6, -1, -1}), {-2, 5, -1}},
        {"+6 dB limits", 1, 16, 1, 6, Pcm16({20000, -100, 0}), {32767, -199, 0}},
        {"-12 dB", 1, 16, 1, -12, Pcm16({1000, -1000}), {251, -251}},
        {"0 dB leaves every sample",
         2,
         16,
         2,
         0,
         Pcm16({32767, -32768, 1, -1}),
         {32767, -32768, 1, -1}},
        {"+6 dB limits below too", 1, 16, 1, 6, Pcm16({-32768}), {-32768}},
    };
    for (const Case& c : cases) {
        AudioRig rig(22050, c.channels, c.bits, c.outputChannels, c.gain);
        com::ComPtr<IMediaSample> out;
        ASSERT_EQ(rig.Transform(c.input, 0, &out), com::S_OK) << c.name;
        EXPECT_EQ(rig.LastOutput(), c.expected) << c.name;
    }
}

TEST(MovieAudioDspTest, TooSmallAnOutputBufferFailsTheSample) {
    AudioRig rig(22050, 1, 16, 2);
    EXPECT_EQ(rig.Transform(Pcm16({1, 2, 3, 4}), 0, nullptr, 15), com::E_FAIL)
        << "four mono samples make 16 bytes of stereo";
    EXPECT_EQ(rig.Transform(Pcm16({1, 2, 3, 4}), 0, nullptr, 16), com::S_OK);
}

// One second of stereo at 22050 Hz: the header that Close writes describes 88 200 bytes of
// data; the status record and the reported length follow the samples' times.
TEST(MovieAudioDspTest, CloseFinishesTheWaveHeader) {
    struct Case {
        std::int64_t firstMs;
        int expectedLength;
    };
    // A first sample at 0 ms leaves audioFirstTime at 0, which reads as "no length".
    for (const Case& c : {Case{0, 0}, Case{1000, 900}}) {
        AudioRig rig(22050, 2, 16, 2);
        const auto path = fz::test::FreshWorkDir("wave") / "base.wav";
        rig.Filter()->SetFileName(path.c_str());
        rig.Filter()->Open();
        EXPECT_EQ(Load(rig.Status().audioStarted), 0);
        const std::vector<std::uint8_t> tenth(8820, 0x11);
        for (int k = 0; k < 10; ++k)
            ASSERT_EQ(rig.Transform(tenth, c.firstMs + 100 * k), com::S_OK);
        EXPECT_EQ(Load(rig.Status().audioStarted), 1);
        EXPECT_EQ(Load(rig.Status().audioFirstTime), c.firstMs);
        EXPECT_EQ(Load(rig.Status().audioLastTime), c.firstMs + 900);
        Store(rig.Status().videoOffset, 77);
        int length = -1;
        rig.Filter()->Close(&length);
        EXPECT_EQ(length, c.expectedLength);
        EXPECT_EQ(Load(rig.Status().audioStarted), 0);
        EXPECT_EQ(Load(rig.Status().audioClosed), 1);
        EXPECT_EQ(Load(rig.Status().videoOffset), 0);
        EXPECT_EQ(Load(rig.Status().audioFirstTime), 0);

        const std::string bytes = fz::test::ReadFile(path);
        ASSERT_EQ(bytes.size(), 88244u);
        const auto header = SoundFileHeader::Decode(
            std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), 44));
        ASSERT_TRUE(header.has_value());
        EXPECT_EQ(header->riffSize, 88236u);
        EXPECT_EQ(header->dataSize, 88200u);
        EXPECT_EQ(header->channels, 2);
        EXPECT_EQ(header->sampleRate, 22050u);
        EXPECT_EQ(header->BytesPerSecond(), 88200u);
        EXPECT_EQ(header->BlockAlign(), 4);
        EXPECT_EQ(static_cast<std::uint8_t>(bytes[44]), 0x11);
    }
}

// A recording that is never closed starts with the provisional header: channels, rate and both
// sizes 0. After Close the record says so and later samples are not written.
TEST(MovieAudioDspTest, AHeaderNeverClosedKeepsZeros) {
    AudioRig rig(22050, 2, 16, 2);
    const auto path = fz::test::FreshWorkDir("open-wave") / "base.wav";
    rig.Filter()->SetFileName(path.c_str());
    rig.Filter()->Open();
    ASSERT_EQ(rig.Transform(std::vector<std::uint8_t>(400, 1), 500), com::S_OK);
    const std::string bytes = fz::test::ReadFile(path);
    ASSERT_GE(bytes.size(), 44u);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    for (std::size_t offset : {4, 22, 24, 28, 32, 40})
        EXPECT_EQ(bytes[offset], 0) << offset;
    rig.Filter()->Close(nullptr);

    // Detached from the record, the filter only converts, even with a file open.
    rig.Filter()->Open();
    rig.Filter()->SetStatusRecord(nullptr);
    ASSERT_EQ(rig.Transform(std::vector<std::uint8_t>(400, 1), 600), com::S_OK);
    rig.Filter()->Close(nullptr);
    EXPECT_EQ(std::filesystem::file_size(path), 44u);
}

TEST(MovieAudioDspTest, SetAudioFormatLimitsTheChannelsAndTheInputGivesTheRate) {
    struct Case {
        unsigned given;
        int kept;
    };
    for (const Case& c : {Case{5, 2}, Case{7, 2}, Case{0, 1}, Case{1, 1}, Case{2, 2}}) {
        AudioFilter filter;
        filter->SetAudioFormat(22050, 32000, c.given);
        int rate = 0;
        int channels = 0;
        filter->GetAudioFormat(&rate, &channels);
        EXPECT_EQ(rate, 22050);
        EXPECT_EQ(channels, c.kept) << c.given;
    }

    AudioRig rig(44100, 2, 16, 1);
    int rate = 0;
    int channels = 0;
    rig.Filter()->GetAudioFormat(&rate, &channels);
    EXPECT_EQ(rate, 44100);
    EXPECT_EQ(channels, 1);
    const CMediaType in = media::MakePcmType(44100, 2, 16);
    const CMediaType mono = media::MakePcmType(44100, 1, 16);
    const CMediaType resampled = media::MakePcmType(8000, 1, 16);
    EXPECT_EQ(rig.Filter().FilterObject().CheckTransform(&in, &mono), com::S_OK);
    EXPECT_EQ(rig.Filter().FilterObject().CheckTransform(&in, &resampled), com::E_INVALIDARG);
}

TEST(MovieAudioDspTest, InputRefusedUntilTheFilterIsConfigured) {
    const CMediaType pcm = media::MakePcmType(22050, 2, 16);
    AudioFilter filter;
    auto& object = filter.FilterObject();
    EXPECT_EQ(object.CheckInputType(nullptr), com::E_POINTER);
    EXPECT_EQ(object.CheckInputType(&pcm), com::E_FAIL) << "no rate, no record";
    filter->SetAudioFormat(8000, 24000, 2);
    EXPECT_EQ(object.CheckInputType(&pcm), com::E_FAIL) << "no record";
    StreamSyncRecord status;
    filter->SetStatusRecord(&status);
    EXPECT_EQ(object.CheckInputType(&pcm), com::S_OK);
    const CMediaType video = media::MakeVideoType(media::MEDIASUBTYPE_RGB32, 8, 8, 0);
    EXPECT_EQ(object.CheckInputType(&video), com::E_INVALIDARG);
    CMediaType silentRate = media::MakePcmType(0, 2, 16);
    EXPECT_EQ(object.CheckInputType(&silentRate), com::E_FAIL);
    CMediaType offered;
    EXPECT_EQ(object.GetMediaType(0, &offered), com::E_UNEXPECTED);
    filter->SetStatusRecord(nullptr);
}

} // namespace
} // namespace fz::dsp
