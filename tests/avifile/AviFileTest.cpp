#include "platform/avifile/AviFile.h"
#include "tests/support/IsolatedEnvironment.h"
#include "tests/support/fixtures/AviFixture.h"

#include <gtest/gtest.h>

namespace fz::avifile {
namespace {

using test::AviMovie;
using test::BuildAvi;

std::string WriteAvi(const std::string& name, const test::Bytes& bytes) {
    const auto path = test::WorkDir() / name;
    test::WriteBytes(path, bytes);
    return path.string();
}

TEST(AviFileTest, ReadsMainHeaderStreamsAndFormatsAsStored) {
    AviMovie movie;
    movie.audioFirst = true;
    AviFile file;
    ASSERT_EQ(file.Open(WriteAvi("both.avi", BuildAvi(movie))), AviError::None);
    EXPECT_EQ(file.Info().width, 320u);
    EXPECT_EQ(file.Info().height, 240u);
    EXPECT_EQ(file.Info().streams, 2u);
    ASSERT_EQ(file.Streams().size(), 2u);

    const AviStreamInfo* video = file.GetStream(kStreamTypeVideo, 0);
    const AviStreamInfo* audio = file.GetStream(kStreamTypeAudio, 0);
    ASSERT_NE(video, nullptr);
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(audio, &file.Streams()[0]); // found by type, not by position
    EXPECT_EQ(video->rate, 15u);
    EXPECT_EQ(video->format.size(), 40u);
    EXPECT_EQ(audio->format.size(), 18u);
    EXPECT_EQ(file.GetStream(kStreamTypeVideo, 1), nullptr);

    std::uint8_t cut[10] = {};
    EXPECT_EQ(AviFile::ReadFormat(*video, cut, sizeof cut), sizeof cut);
    EXPECT_EQ(cut[0], 40); // the bitmap header's own size field
    std::uint8_t whole[64] = {};
    EXPECT_EQ(AviFile::ReadFormat(*audio, whole, sizeof whole), 18u);
}

TEST(AviFileTest, StreamsMayBeMissing) {
    AviMovie movie;
    movie.audio = false;
    AviFile file;
    ASSERT_EQ(file.Open(WriteAvi("video.avi", BuildAvi(movie))), AviError::None);
    EXPECT_NE(file.GetStream(kStreamTypeVideo, 0), nullptr);
    EXPECT_EQ(file.GetStream(kStreamTypeAudio, 0), nullptr);
}

// Every size is checked against the file; a RIFF size that overstates the file is tolerated as
// long as the header list itself is whole.
TEST(AviFileTest, RefusesDamagedHeadersAndToleratesAnOverstatedForm) {
    struct Case {
        const char* name;
        AviMovie movie;
        AviError expected;
    };
    const auto with = [](auto change) {
        AviMovie movie;
        change(movie);
        return movie;
    };
    const Case cases[] = {
        {"riff size beyond the file", with([](AviMovie& m) { m.riffSize = 0xFFFFFFF0u; }),
         AviError::None},
        {"header list beyond the file", with([](AviMovie& m) { m.headerListSize = 100000; }),
         AviError::NoHeaderList},
        {"header list size below its type", with([](AviMovie& m) { m.headerListSize = 2; }),
         AviError::NoHeaderList},
        {"cut inside the header list", with([](AviMovie& m) { m.truncateTo = 100; }),
         AviError::NoHeaderList},
        {"cut inside the RIFF header", with([](AviMovie& m) { m.truncateTo = 10; }),
         AviError::NotAvi},
        {"no main header", with([](AviMovie& m) { m.mainHeader = false; }), AviError::Damaged},
        {"short formats", with([](AviMovie& m) {
             m.videoFormatBytes = 3;
             m.soundFormatBytes = 0;
         }),
         AviError::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AviFile file;
        EXPECT_EQ(file.Open(WriteAvi("case.avi", BuildAvi(c.movie))), c.expected);
        if (c.expected != AviError::None) {
            EXPECT_TRUE(file.Streams().empty());
        }
    }
}

TEST(AviFileTest, RefusesWhatIsNoAviFile) {
    AviFile file;
    EXPECT_EQ(file.Open((test::WorkDir() / "missing.avi").string()), AviError::CannotOpen);
    EXPECT_EQ(file.Open(test::WorkDir().string()), AviError::CannotOpen);
    test::Bytes wave = {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'};
    EXPECT_EQ(file.Open(WriteAvi("wave.avi", wave)), AviError::NotAvi);
    // An MPEG program stream starts with a pack header.
    test::Bytes mpeg = {0x00, 0x00, 0x01, 0xBA, 0x44, 0x00, 0x04, 0x00, 0x04, 0x01, 0x01, 0x89};
    EXPECT_EQ(file.Open(WriteAvi("movie.mpg", mpeg)), AviError::NotAvi);
}

TEST(AviHeaderListTest, ChunksRunningPastTheirListAreDamage) {
    // "avih" that claims 60 bytes in a list of 48.
    test::Bytes list(48, 0);
    const char* id = "avih";
    for (int i = 0; i < 4; ++i)
        list[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(id[i]);
    test::PutLe32(list, 4, 60);
    AviHeaders headers;
    EXPECT_EQ(ParseAviHeaderList(list.data(), list.size(), headers), AviError::Damaged);
    test::PutLe32(list, 4, 40);
    EXPECT_EQ(ParseAviHeaderList(list.data(), list.size(), headers), AviError::None);
    // A stream list whose stream header is shorter than 48 bytes.
    test::Bytes strl = {'L', 'I', 'S', 'T', 16, 0, 0, 0, 's', 't', 'r', 'l',
                        's', 't', 'r', 'h', 4,  0, 0, 0, 'v', 'i', 'd', 's'};
    list.insert(list.end(), strl.begin(), strl.end());
    EXPECT_EQ(ParseAviHeaderList(list.data(), list.size(), headers), AviError::Damaged);
}

} // namespace
} // namespace fz::avifile
