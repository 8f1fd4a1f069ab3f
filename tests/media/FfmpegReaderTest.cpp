// The FFmpeg source's engine on generated files: formats, every picture in order with its
// position in the source, PCM in the pin's format, the end of a truncated file, files that are
// not media, seeking and resuming after a stop.
#include "platform/media/ffmpeg/MediaReader.h"
#include "tests/support/GeneratedMedia.h"
#include "tests/support/IsolatedEnvironment.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <thread>

namespace fz::media::ffmpeg {
namespace {

using mediagen::ClipKind;
using mediagen::ClipKindInfo;

constexpr std::int64_t kFrame = kUnitsPerSecond / 25; // the standard clips' picture time

struct PictureSeen {
    std::int64_t start, stop;
    std::optional<std::int64_t> number;
    bool discontinuity;
};

struct SoundSeen {
    std::int64_t start, stop;
    std::size_t bytes;
    bool discontinuity;
};

// Reads pictures until the end (or `limit` pictures), converting each one.
std::vector<PictureSeen> ReadPictures(MediaReader& reader, std::size_t limit = SIZE_MAX) {
    std::vector<PictureSeen> seen;
    std::vector<std::uint8_t> rgb(reader.Converter()->ImageSize());
    const int width = reader.Video()->Width();
    const int height = reader.Video()->Height();
    DecodedPicture picture;
    while (seen.size() < limit && reader.NextPicture(picture) == DecodeResult::Frame) {
        LazyPicture lazy(std::move(picture.frame), reader.Converter());
        EXPECT_TRUE(lazy.Materialize(rgb.data(), rgb.size()));
        seen.push_back({picture.start, picture.stop,
                        mediagen::ReadFrameNumber(rgb.data(), width, height, width * 4, true),
                        picture.discontinuity});
    }
    return seen;
}

std::vector<SoundSeen> ReadSound(MediaReader& reader, std::vector<std::uint8_t>* pcm = nullptr,
                                 std::size_t limit = SIZE_MAX) {
    std::vector<SoundSeen> seen;
    PcmBlock block;
    while (seen.size() < limit && reader.NextSound(block) == DecodeResult::Frame) {
        seen.push_back({block.start, block.stop, block.bytes.size(), block.discontinuity});
        if (pcm != nullptr)
            pcm->insert(pcm->end(), block.bytes.begin(), block.bytes.end());
    }
    return seen;
}

// Both streams read to their end on two threads, as the pins do.
struct ReadAll {
    std::vector<PictureSeen> pictures;
    std::vector<SoundSeen> sound;
    std::vector<std::uint8_t> pcm;
};

ReadAll ReadToEnd(MediaReader& reader) {
    ReadAll all;
    reader.Start();
    std::thread video([&] {
        if (reader.HasVideo())
            all.pictures = ReadPictures(reader);
    });
    if (reader.HasAudio())
        all.sound = ReadSound(reader, &all.pcm);
    video.join();
    reader.Abort();
    reader.Stop();
    return all;
}

// Pictures numbered from `firstNumber` on, one picture time apart, the first one at `offset`
// plus its number's time (containers may start the pictures a little after the sound).
void ExpectPicturesInOrder(const std::vector<PictureSeen>& pictures, std::int64_t firstNumber,
                           std::int64_t offset = 0) {
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const PictureSeen& p = pictures[i];
        const auto number = firstNumber + static_cast<std::int64_t>(i);
        EXPECT_EQ(p.number, std::optional<std::int64_t>(number)) << "picture " << i;
        EXPECT_NEAR(static_cast<double>(p.start), static_cast<double>(offset + number * kFrame),
                    kFrame / 4.0)
            << "picture " << i;
        EXPECT_GT(p.stop, p.start);
        if (i > 0) {
            EXPECT_GT(p.start, pictures[i - 1].start) << "picture " << i;
        }
    }
}

class ReaderKindTest : public ::testing::TestWithParam<ClipKind> {};

TEST_P(ReaderKindTest, DeliversEveryPictureAndTheSoundAtTheirPositions) {
    const ClipKindInfo& info = mediagen::KindInfo(GetParam());
    const auto options = test::StandardClipOptions(GetParam());
    const auto path = test::GeneratedClip(GetParam());
    ASSERT_FALSE(path.empty());
    std::string error;
    auto reader = MediaReader::OpenFile(path.string(), {}, &error);
    ASSERT_TRUE(reader) << error;

    EXPECT_EQ(reader->HasVideo(), !info.videoCodec.empty());
    EXPECT_EQ(reader->HasAudio(), !info.audioCodec.empty());
    EXPECT_NEAR(static_cast<double>(reader->Duration()), options.durationSeconds * kUnitsPerSecond,
                kUnitsPerSecond * 0.15);
    if (reader->HasVideo()) {
        EXPECT_EQ(reader->Video()->Width(), options.width);
        EXPECT_EQ(reader->Video()->Height(), options.height);
        EXPECT_EQ(reader->Video()->FrameDuration(), kFrame);
    }
    if (reader->HasAudio()) {
        EXPECT_EQ(reader->Audio()->SampleRate(), info.sampleRate);
        EXPECT_EQ(reader->Audio()->Channels(), std::min(info.channels, 2));
        EXPECT_EQ(reader->Audio()->BitsPerSample(), info.bitsPerSample);
    }

    const ReadAll all = ReadToEnd(*reader);
    std::int64_t end = 0; // of what was delivered
    if (reader->HasVideo()) {
        ASSERT_EQ(static_cast<std::int64_t>(all.pictures.size()), mediagen::FrameCount(options));
        const std::int64_t offset = all.pictures.front().start;
        EXPECT_GE(offset, 0);
        EXPECT_LT(offset, kUnitsPerSecond / 10);
        ExpectPicturesInOrder(all.pictures, 0, offset);
        EXPECT_TRUE(all.pictures.front().discontinuity);
        end = all.pictures.back().stop;
    }
    if (reader->HasAudio() && !all.sound.empty())
        end = std::max(end, all.sound.back().stop);
    EXPECT_NEAR(static_cast<double>(reader->Duration()), static_cast<double>(end), kFrame)
        << "the duration is that of the streams delivered, within one picture";
    if (reader->HasAudio()) {
        ASSERT_FALSE(all.sound.empty());
        const int align = reader->Audio()->BlockAlign();
        const int rate = reader->Audio()->SampleRate();
        EXPECT_LT(all.sound.front().start, kUnitsPerSecond / 10);
        for (std::size_t i = 0; i < all.sound.size(); ++i) {
            const SoundSeen& s = all.sound[i];
            EXPECT_EQ(s.bytes % align, 0u);
            const auto samples = static_cast<std::int64_t>(s.bytes / align);
            EXPECT_NEAR(static_cast<double>(s.stop - s.start),
                        static_cast<double>(samples) * kUnitsPerSecond / rate, 1.0);
            if (i > 0) { // blocks join without gaps or overlaps
                EXPECT_NEAR(static_cast<double>(s.start),
                            static_cast<double>(all.sound[i - 1].stop), 1.0)
                    << "block " << i;
            }
        }
        const double seconds = static_cast<double>(all.pcm.size() / align) / rate;
        EXPECT_NEAR(seconds, options.durationSeconds, 0.12);
        // The tone is in the PCM of every output channel.
        for (int channel = 0; channel < reader->Audio()->Channels(); ++channel) {
            double energy = 0;
            std::size_t count = 0;
            for (std::size_t at = channel * (align / reader->Audio()->Channels());
                 at + align <= all.pcm.size(); at += align) {
                const double v =
                    reader->Audio()->BitsPerSample() == 8
                        ? (all.pcm[at] - 128) / 128.0
                        : static_cast<std::int16_t>(all.pcm[at] | all.pcm[at + 1] << 8) / 32768.0;
                energy += v * v;
                ++count;
            }
            EXPECT_GT(std::sqrt(energy / static_cast<double>(count)), 0.05)
                << "channel " << channel;
        }
    }
}

TEST_P(ReaderKindTest, WhitePictureAndClickKeepTheirSourceTimes) {
    const ClipKindInfo& info = mediagen::KindInfo(GetParam());
    if (info.videoCodec.empty() || info.audioCodec.empty())
        GTEST_SKIP() << "needs both streams";
    auto options = test::StandardClipOptions(GetParam());
    options.markerSeconds = 1.0;
    const auto path = test::GeneratedClip("marker." + std::string(info.extension), options);
    ASSERT_FALSE(path.empty());
    std::string error;
    auto reader = MediaReader::OpenFile(path.string(), {}, &error);
    ASSERT_TRUE(reader) << error;
    reader->Start();
    std::int64_t flash = -1;
    std::thread video([&] {
        std::vector<std::uint8_t> rgb(reader->Converter()->ImageSize());
        DecodedPicture picture;
        while (flash < 0 && reader->NextPicture(picture) == DecodeResult::Frame) {
            LazyPicture lazy(std::move(picture.frame), reader->Converter());
            ASSERT_TRUE(lazy.Materialize(rgb.data(), rgb.size()));
            if (mediagen::IsWhitePicture(rgb.data(), options.width, options.height,
                                         options.width * 4))
                flash = picture.start;
        }
    });
    std::int64_t click = -1;
    PcmBlock block;
    const int align = reader->Audio()->BlockAlign();
    while (click < 0 && reader->NextSound(block) == DecodeResult::Frame) {
        for (std::size_t at = 0; at + align <= block.bytes.size(); at += align) {
            const int value =
                reader->Audio()->BitsPerSample() == 8
                    ? (block.bytes[at] - 128) * 256
                    : static_cast<std::int16_t>(block.bytes[at] | block.bytes[at + 1] << 8);
            if (std::abs(value) > 20000) {
                click = block.start + av_rescale(static_cast<std::int64_t>(at / align),
                                                 kUnitsPerSecond, reader->Audio()->SampleRate());
                break;
            }
        }
    }
    video.join(); // the demuxing thread goes on feeding the pictures while the sound waits
    reader->Abort();
    reader->Stop();
    ASSERT_GE(flash, 0) << "no white picture";
    ASSERT_GE(click, 0) << "no click";
    // Within a few milliseconds: the coders' priming and pre-echo only.
    EXPECT_NEAR(static_cast<double>(click), static_cast<double>(flash), kUnitsPerSecond * 0.015)
        << "picture at " << flash << ", click at " << click;
}

std::vector<ClipKind> EveryKind() {
    std::size_t count = 0;
    const ClipKindInfo* kinds = mediagen::AllKinds(&count);
    std::vector<ClipKind> all;
    for (std::size_t i = 0; i < count; ++i)
        all.push_back(kinds[i].kind);
    return all;
}

INSTANTIATE_TEST_SUITE_P(EveryKind, ReaderKindTest, ::testing::ValuesIn(EveryKind()),
                         [](const ::testing::TestParamInfo<ClipKind>& param) {
                             std::string name(mediagen::KindInfo(param.param).name);
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

TEST(MediaReaderTest, TruncatedFileEndsCleanlyWithWhatDecodes) {
    const auto whole = test::GeneratedClip(ClipKind::AviMpeg4Mp3);
    ASSERT_FALSE(whole.empty());
    const std::string bytes = test::ReadFile(whole);
    const auto path = test::WorkDir() / "truncated.avi";
    test::WriteFile(path, bytes.substr(0, bytes.size() * 6 / 10));
    std::string error;
    auto reader = MediaReader::OpenFile(path.string(), {}, &error);
    ASSERT_TRUE(reader) << error;
    const ReadAll all = ReadToEnd(*reader);
    EXPECT_GT(all.pictures.size(), 10u);
    EXPECT_LT(all.pictures.size(), 50u);
    ExpectPicturesInOrder(all.pictures, 0);
    EXPECT_FALSE(all.sound.empty());
}

TEST(MediaReaderTest, RefusesWhatIsNotAMediaFile) {
    const auto folder = test::FreshWorkDir("not-media");
    test::WriteFile(folder / "text.avi", "This is a text file, not a movie.\n");
    test::WriteFile(folder / "empty.avi", "");
    const auto whole = test::GeneratedClip(ClipKind::AviMpeg4Mp3);
    test::WriteFile(folder / "header-only.avi", test::ReadFile(whole).substr(0, 200));
    for (const char* name : {"text.avi", "empty.avi", "header-only.avi", "missing.avi"}) {
        std::string error;
        EXPECT_FALSE(MediaReader::OpenFile((folder / name).string(), {}, &error)) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
    std::string error;
    EXPECT_FALSE(MediaReader::OpenFile(folder.string(), {}, &error)) << "a folder";
}

TEST(MediaReaderTest, SeekDeliversFromThePositionWithTimesInTheSource) {
    const auto path = test::GeneratedClip(ClipKind::AviMpeg4Mp3);
    ASSERT_FALSE(path.empty());
    std::string error;
    auto reader = MediaReader::OpenFile(path.string(), {}, &error);
    ASSERT_TRUE(reader) << error;
    // 1.3 s lies between key frames (one a second): the pictures before it are decoded only to
    // reach it.
    for (const std::int64_t position :
         {13 * kUnitsPerSecond / 10, kUnitsPerSecond / 2, std::int64_t{0}}) {
        ASSERT_TRUE(reader->Seek(position));
        const ReadAll all = ReadToEnd(*reader);
        ASSERT_FALSE(all.pictures.empty());
        const std::int64_t first = position / kFrame;
        EXPECT_EQ(all.pictures.front().number, std::optional<std::int64_t>(first));
        EXPECT_TRUE(all.pictures.front().discontinuity);
        ExpectPicturesInOrder(all.pictures, first);
        EXPECT_EQ(static_cast<std::int64_t>(all.pictures.size()), 50 - first);
        ASSERT_FALSE(all.sound.empty());
        EXPECT_NEAR(static_cast<double>(all.sound.front().start), static_cast<double>(position),
                    kUnitsPerSecond / 1000.0);
        EXPECT_TRUE(all.sound.front().discontinuity);
    }
}

TEST(MediaReaderTest, StartAfterStopResumesWhereDeliveryStopped) {
    const auto path = test::GeneratedClip(ClipKind::AviMsmpeg4v2Pcm8);
    ASSERT_FALSE(path.empty());
    std::string error;
    auto reader = MediaReader::OpenFile(path.string(), {}, &error);
    ASSERT_TRUE(reader) << error;
    reader->Start();
    std::vector<PictureSeen> first;
    std::thread video([&] { first = ReadPictures(*reader, 10); });
    const auto sound = ReadSound(*reader, nullptr, 3);
    video.join();
    reader->Abort();
    reader->Stop();
    ASSERT_EQ(first.size(), 10u);
    const ReadAll rest = ReadToEnd(*reader);
    ASSERT_FALSE(rest.pictures.empty());
    ExpectPicturesInOrder(rest.pictures, rest.pictures.front().number.value_or(-1));
    // Delivery resumes at the earlier of the two streams, so nothing is skipped.
    EXPECT_LE(rest.pictures.front().number.value_or(99), 10);
    EXPECT_EQ(rest.pictures.back().number, std::optional<std::int64_t>(49));
    ASSERT_FALSE(rest.sound.empty());
    EXPECT_LE(rest.sound.front().start, sound.back().stop);
}

TEST(MediaReaderTest, UndeliveredStreamHoldsNothingBack) {
    const auto path = test::GeneratedClip(ClipKind::AviMpeg4Mp3);
    ASSERT_FALSE(path.empty());
    std::string error;
    auto reader = MediaReader::OpenFile(path.string(), {}, &error);
    ASSERT_TRUE(reader) << error;
    reader->SetDelivered(true, false); // nobody reads the sound
    reader->Start();
    const auto pictures = ReadPictures(*reader);
    reader->Abort();
    reader->Stop();
    EXPECT_EQ(pictures.size(), 50u);
}

TEST(MediaReaderTest, AbortWakesEveryWaitingThread) {
    const auto path = test::GeneratedClip(ClipKind::AviMpeg4Mp3);
    ASSERT_FALSE(path.empty());
    SourceLimits limits;
    limits.queues.packets = 2;
    std::string error;
    auto reader = MediaReader::OpenFile(path.string(), limits, &error);
    ASSERT_TRUE(reader) << error;
    reader->Start();
    // Nobody reads the sound, so the demuxing thread soon waits on a full lane; a picture is
    // read and then the video thread stays waiting too.
    std::thread video([&] {
        DecodedPicture picture;
        while (reader->NextPicture(picture) == DecodeResult::Frame) {
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    reader->Abort();
    video.join();
    reader->Stop();
    EXPECT_FALSE(reader->Running());
}

TEST(PacketQueuesTest, FullLaneWaitsUnlessAnotherLaneStarves) {
    PacketQueues queues(2, QueueLimits{2, 4, 1 << 20});
    auto packet = [] {
        PacketPtr p(av_packet_alloc());
        av_new_packet(p.get(), 16);
        return p;
    };
    ASSERT_TRUE(queues.Push(0, packet()));
    ASSERT_TRUE(queues.Push(0, packet()));
    // Lane 1 is empty and not ended: lane 0 takes more, up to its hard limit.
    ASSERT_TRUE(queues.Push(0, packet()));
    ASSERT_TRUE(queues.Push(0, packet()));
    std::atomic<bool> pushed{false};
    std::thread producer([&] { pushed = queues.Push(0, packet()); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(pushed) << "a lane at its hard limit waits";
    PacketPtr taken;
    ASSERT_EQ(queues.Pop(0, taken), PacketQueues::PopResult::Packet);
    producer.join();
    EXPECT_TRUE(pushed);
    EXPECT_EQ(queues.Size(0), 4u);

    // With lane 1 holding work, lane 0 waits at its soft limit until lane 1 runs dry.
    queues.Reset();
    ASSERT_TRUE(queues.Push(0, packet()));
    ASSERT_TRUE(queues.Push(0, packet()));
    ASSERT_TRUE(queues.Push(1, packet()));
    pushed = false;
    std::thread blocked([&] { pushed = queues.Push(0, packet()); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(pushed) << "a full lane waits while the other lane has work";
    ASSERT_EQ(queues.Pop(1, taken), PacketQueues::PopResult::Packet);
    blocked.join();
    EXPECT_TRUE(pushed);

    // Abort wakes a reader waiting on an empty lane; pushes fail until Reset.
    std::atomic<int> popped{-1};
    std::thread reader([&] {
        PacketPtr p;
        popped = static_cast<int>(queues.Pop(1, p));
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(popped, -1);
    queues.Abort();
    reader.join();
    EXPECT_EQ(popped, static_cast<int>(PacketQueues::PopResult::Aborted));
    EXPECT_FALSE(queues.Push(0, packet()));
    queues.Reset();
    EXPECT_EQ(queues.Size(0), 0u);
    queues.PushEnd(0);
    EXPECT_EQ(queues.Pop(0, taken), PacketQueues::PopResult::End);
}

} // namespace
} // namespace fz::media::ffmpeg
