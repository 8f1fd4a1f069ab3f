#include "platform/fs/MappedFile.h"
#include "tests/support/IsolatedEnvironment.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

namespace {

using fz::fs::MappedFile;
using fz::test::FreshWorkDir;
using fz::test::WriteFile;

TEST(MappedFileTest, MapsTheWholeFileAndClosesRepeatedly) {
    auto dir = FreshWorkDir("mapped");
    std::string bytes = "RIFF";
    bytes.push_back('\0');
    bytes += std::string(5000, 'x') + "end";
    WriteFile(dir / "a.bin", bytes);

    MappedFile file;
    ASSERT_TRUE(file.Open((dir / "a.bin").string()));
    ASSERT_EQ(file.Size(), bytes.size());
    EXPECT_EQ(std::memcmp(file.Data(), bytes.data(), bytes.size()), 0);

    file.Close();
    EXPECT_EQ(file.Data(), nullptr);
    EXPECT_EQ(file.Size(), 0u);
    file.Close();
    EXPECT_FALSE(file.IsOpen());
}

TEST(MappedFileTest, RefusesMissingEmptyAndFolderPathsAndClosesThePreviousFile) {
    auto dir = FreshWorkDir("refused");
    WriteFile(dir / "empty", "");
    WriteFile(dir / "one", "1");

    MappedFile file;
    for (const std::string& path :
         {(dir / "missing").string(), (dir / "empty").string(), dir.string(), std::string()}) {
        ASSERT_TRUE(file.Open((dir / "one").string()));
        EXPECT_FALSE(file.Open(path)) << path;
        EXPECT_EQ(file.Data(), nullptr) << "a failed Open leaves nothing mapped: " << path;
        EXPECT_EQ(file.Size(), 0u);
    }
}

TEST(MappedFileTest, MovedViewStaysValidAndTheSourceIsEmptied) {
    auto dir = FreshWorkDir("moved");
    WriteFile(dir / "f", "hello");
    MappedFile first;
    ASSERT_TRUE(first.Open((dir / "f").string()));
    const std::uint8_t* data = first.Data();
    MappedFile second(std::move(first));
    EXPECT_EQ(second.Data(), data);
    EXPECT_EQ(second.Size(), 5u);
    EXPECT_EQ(first.Data(), nullptr); // NOLINT(bugprone-use-after-move)
    first = std::move(second);
    EXPECT_EQ(first.Data(), data);
    EXPECT_EQ(std::memcmp(first.Data(), "hello", 5), 0);
}

} // namespace
