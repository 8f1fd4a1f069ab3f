// The command line itself: help for the program and every command, the version, and the exit
// status 2 for every kind of wrong command line.
#include "tests/cli/CliRunner.h"

#include <gtest/gtest.h>

namespace {

using fz::test::RunCli;

TEST(CliUsageTest, HelpForTheProgramAndEveryCommandGoesToStandardOutput) {
    const auto top = RunCli({"--help"});
    EXPECT_EQ(top.status, 0) << top.err;
    for (const char* command : {"convert", "batch", "inspect"}) {
        EXPECT_NE(top.out.find(command), std::string::npos) << command;
        const auto help = RunCli({command, "--help"});
        EXPECT_EQ(help.status, 0) << command << ": " << help.err;
        EXPECT_NE(help.out.find(std::string("framzel-cli ") + command), std::string::npos)
            << help.out;
    }
}

TEST(CliUsageTest, VersionNamesTheProgram) {
    const auto result = RunCli({"--version"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out.rfind("framzel-cli ", 0), 0u) << result.out;
}

TEST(CliUsageTest, WrongCommandLinesExitWithTwoAndSayWhyOnStandardError) {
    const std::vector<std::vector<std::string>> cases = {
        {},                                     // no command
        {"no-such-command"},                    // unknown command
        {"inspect"},                            // missing argument
        {"inspect", "a.mp4", "--no-such-flag"}, // unknown option
        {"batch", "a.avi"},                     // --out is required
        {"batch", "a.avi", "--out", "d", "--jobs", "0"},
    };
    for (const auto& arguments : cases) {
        std::string line;
        for (const auto& word : arguments)
            line += word + " ";
        const auto result = RunCli(arguments);
        EXPECT_EQ(result.status, 2) << line;
        EXPECT_FALSE(result.err.empty()) << line;
        EXPECT_TRUE(result.out.empty()) << line << result.out;
    }
}

} // namespace
