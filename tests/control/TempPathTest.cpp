#include "fzctrl/control/CFramzelCtrl.h"
#include "fzctrl/control/CMovieEngine.h"
#include "fzctrl/control/TempPathRule.h"
#include "tests/support/IsolatedEnvironment.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace {

using fz::CMovieEngine;

TEST(TempPathTest, ControlRuleCutsPathsWithSpacesAndIgnoresEmptyText) {
    struct Case {
        const char* value;
        std::optional<std::string> forEngine;
    };
    const Case cases[] = {
        {"/data/tmp", "/data/tmp"},
        {"/data/My Movies/tmp", "/"},
        {"data/My Movies/tmp", "data/"},
        {"My Movies", ""},
        {"  /data/tmp", "  /data/tmp"}, // no space after the leading ones: as given
        {"  /data/My Movies", "/"},     // cut: leading white space dropped
        {"\t data/x y", "data/"},
        {"/data/tmp\t", "/data/tmp\t"}, // a tab is white space but not a space
        {"/data/tmp ", "/"},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {" \t\r\n", std::nullopt},
    };
    for (const Case& row : cases)
        EXPECT_EQ(fz::TempPathForEngine(row.value), row.forEngine) << '"' << row.value << '"';
}

TEST(TempPathTest, EngineAppendsSeparatorAfterTrimmingTrailingWhiteSpace) {
    struct Case {
        const char* text;
        const char* folder;
    };
    const Case cases[] = {
        {"/data/tmp", "/data/tmp/"},
        {"/data/tmp/", "/data/tmp/"},
        {"/", "/"},
        {"/data/tmp \t\r\n", "/data/tmp/"},
        {"/data/tmp/  ", "/data/tmp/"},
        {"  /data/tmp", "  /data/tmp/"},
        {"data", "data/"},
        {"", ""},
        {"  ", ""},
    };
    for (const Case& row : cases) {
        CMovieEngine engine;
        engine.SetTempPath(row.text);
        EXPECT_EQ(engine.TempFolder(), row.folder) << '"' << row.text << '"';
    }
}

TEST(TempPathTest, EngineStartsWithDriveCAndDefaultSettings) {
    CMovieEngine engine;
    EXPECT_EQ(engine.TempFolder(), fz::test::DriveCDir().string() + "/");
    EXPECT_EQ(engine.EqualizerLevel(), 0);
    EXPECT_EQ(engine.VerticalCut(), fz::kFalse);
    EXPECT_EQ(engine.PreviewRotate(), fz::kTrue);
    EXPECT_EQ(engine.WideScreenCut().enabled, fz::kFalse);
    EXPECT_EQ(engine.WideScreenCut().top, 0.0);
    EXPECT_EQ(engine.WideScreenCut().bottom, 0.0);
}

// A temporary folder that cannot take the conversion's files is reported with its reason, so
// that the conversion fails instead of writing into the current directory.
TEST(TempPathTest, UnusableTemporaryFolderIsReportedWithItsReason) {
    const auto work = fz::test::FreshWorkDir("temp_folder");
    fz::test::WriteFile(work / "file", "x");
    struct Case {
        std::string text;
        const char* reasonPart; // null: usable
    };
    const Case cases[] = {
        {work.string(), nullptr},
        {"", "the setting names no folder"},
        {(work / "missing").string(), "missing/: No such file or directory"},
        {(work / "file").string(), "file/: Not a directory"},
    };
    for (const Case& row : cases) {
        CMovieEngine engine;
        engine.SetTempPath(row.text);
        const auto check = engine.CheckTempFolder();
        EXPECT_EQ(check.usable, row.reasonPart == nullptr) << row.text;
        if (row.reasonPart) {
            EXPECT_NE(check.reason.find("temporary folder unavailable: "), std::string::npos);
            EXPECT_NE(check.reason.find(row.reasonPart), std::string::npos) << check.reason;
        }
    }

    // Drive C: refused (a symbolic link stands in its place): the engine and a control made
    // now have no temporary folder, and say why.
    const std::string saved = std::getenv("FRAMZEL_DRIVE_C");
    std::filesystem::create_directory_symlink(work, work / "link");
    setenv("FRAMZEL_DRIVE_C", (work / "link").c_str(), 1);
    CMovieEngine engine;
    fz::CFramzelCtrl ctrl;
    for (const CMovieEngine* refused : {&engine, &ctrl.Engine()}) {
        EXPECT_EQ(refused->TempFolder(), "");
        const auto check = refused->CheckTempFolder();
        EXPECT_FALSE(check.usable);
        EXPECT_NE(check.reason.find("drive C: is refused"), std::string::npos) << check.reason;
    }
    setenv("FRAMZEL_DRIVE_C", saved.c_str(), 1);
}

} // namespace
