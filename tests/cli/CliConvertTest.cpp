// framzel-cli convert and batch: the naming rules, the folder expansion, the progress text, and
// every refusal with its one-line reason, its exit status and nothing left behind.
#include "framzel/cli/ProgressDisplay.h"
#include "framzel/cli/TargetNames.h"
#include "tests/cli/CliRunner.h"
#include "tests/support/GeneratedMedia.h"
#include "tests/support/IsolatedEnvironment.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using namespace fz::test;
using fz::mediagen::ClipKind;

TEST(CliConvertTest, TargetNamesFollowTheBatchListRule) {
    const std::vector<std::pair<std::string, std::string>> names = {
        {"/v/clip.avi", "clip.mp4"}, {"/v/clip.AVI", "clip.mp4"}, {"/v/a.b.mpeg", "a.b.mp4"},
        {"/v/.avi", ".avi"},         {"/v/noext", "noext"},       {"clip.wmv", "clip.mp4"},
        {"/v.d/noext", "noext"}};
    for (const auto& [source, name] : names)
        EXPECT_EQ(fz::cli::TargetNameOf(source), name) << source;
    EXPECT_EQ(fz::cli::DefaultTarget("/v/clip.avi"), "/v/clip.mp4");
    EXPECT_EQ(fz::cli::DefaultTarget("/v/noext"), "/v/noext.mp4") << "never the source itself";
    EXPECT_EQ(fz::cli::DefaultTarget("/v/.avi"), "/v/.avi.mp4");
    EXPECT_EQ(fz::cli::TargetPath("/out", "a.mp4"), "/out/a.mp4");
    EXPECT_EQ(fz::cli::TargetPath("/out/", "a.mp4"), "/out/a.mp4");
}

TEST(CliConvertTest, FoldersExpandToTheirVideosAviFirstWithoutSubfolders) {
    const auto dir = FreshWorkDir("expand");
    for (const char* name : {"b.wmv", "z.mpeg", "c.MPG", "a.AVI", "d.txt", "e.asf", "f.avi"})
        WriteFile(dir / name, "x");
    fs::create_directories(dir / "sub.avi");
    WriteFile(dir / "sub.avi" / "g.avi", "x");
    const auto sources = fz::cli::ExpandBatchSources({(dir / "f.avi").string(), dir.string()});
    std::vector<std::string> names;
    for (const auto& path : sources)
        names.push_back(fs::path(path).filename().string());
    ASSERT_EQ(names.size(), 6u);
    EXPECT_EQ(names[0], "f.avi") << "listed first, not again";
    EXPECT_EQ(names[1], "a.AVI");
    EXPECT_EQ(names[2], "c.MPG");
    EXPECT_EQ(names[3], "z.mpeg");
    EXPECT_EQ(names[4], "e.asf");
    EXPECT_EQ(names[5], "b.wmv");
    EXPECT_TRUE(std::all_of(sources.begin(), sources.end(),
                            [](const std::string& p) { return p.front() == '/'; }));
}

TEST(CliConvertTest, ProgressTextShowsShareTimesSpeedAndTimeLeft) {
    EXPECT_EQ(fz::cli::ProgressText({12600, 30000, 1.5}), " 42%  0:12.6 / 0:30.0  8.4x  0:02 left");
    EXPECT_EQ(fz::cli::ProgressText({0, 0, 0}), "0:00.0");
    EXPECT_EQ(fz::cli::ProgressText({61000, 60000, 2}), "100%  1:01.0 / 1:00.0  30.5x");
    EXPECT_EQ(fz::cli::ClockText(3723400), "62:03.4");
}

// The folder's entries after a refusal: only what the test put there.
std::vector<std::string> Entries(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(CliConvertTest, SourcesThatCannotBeConvertedSayWhyInOneLine) {
    const auto dir = FreshWorkDir("convert-refusals");
    WriteFile(dir / "text.avi", "a text file renamed .avi");
    fs::create_directories(dir / "folder.avi");
    fs::create_directories(dir / "temp");
    const auto videoOnly = GeneratedClip(ClipKind::AviVideoOnly);
    const auto audioOnly = GeneratedClip(ClipKind::AviAudioOnly);
    ASSERT_FALSE(videoOnly.empty());
    const std::string temp = "--temp=" + (dir / "temp").string();
    struct Case {
        std::vector<std::string> arguments;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {{"convert", temp, (dir / "none.avi").string()}, "no such file"},
        {{"convert", temp, (dir / "folder.avi").string()}, "is a folder"},
        {{"convert", temp, (dir / "text.avi").string()}, "not a media file the decoders know"},
        {{"convert", temp, videoOnly.string(), (dir / "v.mp4").string()}, "has no sound"},
        {{"convert", temp, audioOnly.string(), (dir / "a.mp4").string()}, "has no pictures"},
        {{"convert", temp, (dir / "text.avi").string(), (dir / "text.avi").string()},
         "the same file"},
        {{"convert", temp, (dir / "text.avi").string(), (dir / "no" / "m.mp4").string()},
         "folder does not exist"},
    };
    const auto before = Entries(dir);
    for (const Case& c : cases) {
        const auto result = RunCli(c.arguments);
        EXPECT_EQ(result.status, 1) << c.reason;
        EXPECT_NE(result.err.find(c.reason), std::string::npos) << c.reason << ": " << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_TRUE(result.out.empty()) << result.out;
        EXPECT_EQ(Entries(dir), before) << c.reason;
        EXPECT_TRUE(Entries(dir / "temp").empty()) << c.reason;
    }
}

TEST(CliConvertTest, WrongOptionsAreUsageErrors) {
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{"convert", "a.avi", "--size", "400x300"},
                                               {"convert", "a.avi", "--size", "big"},
                                               {"convert", "a.avi", "--rotate", "45"},
                                               {"convert", "a.avi", "--quality", "5"},
                                               {"convert", "a.avi", "--encoder", "png"},
                                               {"convert", "a.avi", "--widescreen", "60,10"}}) {
        const auto result = RunCli(arguments);
        EXPECT_EQ(result.status, 2) << arguments[2] << " " << arguments[3] << "\n" << result.err;
    }
}

TEST(CliConvertTest, BatchReportsEachFileAndSkipsExistingMovies) {
    const auto dir = FreshWorkDir("batch");
    fs::create_directories(dir / "in");
    fs::create_directories(dir / "out");
    WriteFile(dir / "in" / "bad.avi", "not a video");
    fs::copy_file(GeneratedClip(ClipKind::AviVideoOnly), dir / "in" / "silent.avi");
    WriteFile(dir / "in" / "done.wmv", "x");
    WriteFile(dir / "out" / "done.mp4", "an earlier movie");
    const auto result =
        RunCli({"batch", (dir / "in").string(), "--out", (dir / "out").string(), "--jobs", "2"});
    EXPECT_EQ(result.status, 1) << "a file failed";
    EXPECT_NE(result.out.find("bad.avi: failed (" + (dir / "in" / "bad.avi").string() +
                              " is not a media file the decoders know)"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.out.find("silent.avi: failed ("), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("done.wmv: skipped"), std::string::npos) << result.out;
    EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 3) << result.out;
    EXPECT_EQ(ReadFile(dir / "out" / "done.mp4"), "an earlier movie");
    EXPECT_EQ(Entries(dir / "out"), std::vector<std::string>{"done.mp4"});

    const auto missing =
        RunCli({"batch", (dir / "in").string(), "--out", (dir / "nowhere").string()});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("output folder does not exist"), std::string::npos);
}

} // namespace
