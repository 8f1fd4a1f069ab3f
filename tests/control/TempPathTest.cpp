#include "fzctrl/control/CMovieEngine.h"
#include "fzctrl/control/TempPathRule.h"
#include "tests/support/IsolatedEnvironment.h"

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

} // namespace
