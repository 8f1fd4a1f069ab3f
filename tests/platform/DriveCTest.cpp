#include "platform/fs/DriveC.h"
#include "tests/support/IsolatedEnvironment.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using fz::test::DriveCDir;
using fz::test::FreshWorkDir;

class DriveCTest : public ::testing::Test {
protected:
    void TearDown() override { setenv("FRAMZEL_DRIVE_C", DriveCDir().c_str(), 1); }
};

TEST_F(DriveCTest, CreatesPrivateFolderAndMapsDrivePaths) {
    auto folder = fz::fs::DriveCFolder();
    ASSERT_TRUE(folder);
    EXPECT_EQ(*folder, DriveCDir().string() + "/");
    struct stat info {};
    ASSERT_EQ(stat(DriveCDir().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    struct Case {
        const char* enginePath;
        std::string host;
    };
    const std::string c = *folder;
    for (const Case& row :
         {Case{"C:\\TempAudioFile", c + "TempAudioFile"},
          Case{"c:\\fzdsp_3.log", c + "fzdsp_3.log"}, Case{"C:\\", c},
          Case{"c:/a\\b.jpg", c + "a/b.jpg"}, Case{"/data/tmp\\x.wav", "/data/tmp/x.wav"},
          Case{"D:\\temp", "D:/temp"}, Case{"name.mp4", "name.mp4"}}) {
        EXPECT_EQ(fz::fs::HostPath(row.enginePath), row.host) << row.enginePath;
    }
}

TEST_F(DriveCTest, RefusesSymbolicLinksAndNonFolders) {
    auto work = FreshWorkDir("drivec");
    fs::create_directory(work / "real", work);
    fs::create_directory_symlink(work / "real", work / "link");
    setenv("FRAMZEL_DRIVE_C", (work / "link").c_str(), 1);
    EXPECT_FALSE(fz::fs::DriveCFolder());
    EXPECT_EQ(fz::fs::HostPath("C:\\x"), "") << "a refused drive C: must map to nothing";

    fz::test::WriteFile(work / "file", "x");
    setenv("FRAMZEL_DRIVE_C", (work / "file").c_str(), 1);
    EXPECT_FALSE(fz::fs::DriveCFolder());
}

TEST_F(DriveCTest, DefaultFolderIsPerUserUnderTmpdirAndTightened) {
    auto work = FreshWorkDir("tmpdir");
    unsetenv("FRAMZEL_DRIVE_C");
    const char* oldTmp = std::getenv("TMPDIR");
    std::string saved = oldTmp ? oldTmp : "";
    setenv("TMPDIR", work.c_str(), 1);
    const fs::path expected = work / ("framzel-" + std::to_string(geteuid()));
    fs::create_directory(expected);
    fs::permissions(expected, fs::perms::all);
    auto folder = fz::fs::DriveCFolder();
    if (saved.empty())
        unsetenv("TMPDIR");
    else
        setenv("TMPDIR", saved.c_str(), 1);
    ASSERT_TRUE(folder);
    EXPECT_EQ(*folder, expected.string() + "/");
    EXPECT_EQ(fs::status(expected).permissions() & fs::perms::all, fs::perms::owner_all);
}

} // namespace
