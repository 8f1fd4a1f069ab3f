#include "platform/fs/FileAttributes.h"
#include "platform/fs/FileOperations.h"
#include "platform/fs/FolderEnumerator.h"
#include "tests/support/IsolatedEnvironment.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using fz::test::FreshWorkDir;
using fz::test::WriteFile;

TEST(FileAttributesTest, DistinguishesFoldersFilesReadOnlyHiddenAndMissing) {
    auto dir = FreshWorkDir("attributes");
    WriteFile(dir / "plain.avi", "x");
    WriteFile(dir / "locked.avi", "x");
    fs::permissions(dir / "locked.avi", fs::perms::owner_read, fs::perm_options::replace);
    WriteFile(dir / ".hidden", "x");
    fs::create_directory(dir / "sub");

    EXPECT_EQ(fz::fs::GetFileAttributes(dir.string()), fz::fs::kFileAttributeDirectory);
    EXPECT_EQ(fz::fs::GetFileAttributes(dir.string() + "/"), fz::fs::kFileAttributeDirectory);
    EXPECT_EQ(fz::fs::GetFileAttributes((dir / "sub").string()), fz::fs::kFileAttributeDirectory);
    EXPECT_EQ(fz::fs::GetFileAttributes((dir / "plain.avi").string()),
              fz::fs::kFileAttributeNormal);
    EXPECT_EQ(fz::fs::GetFileAttributes((dir / ".hidden").string()), fz::fs::kFileAttributeHidden);
    EXPECT_EQ(fz::fs::GetFileAttributes((dir / "missing").string()),
              fz::fs::kInvalidFileAttributes);
    EXPECT_EQ(fz::fs::GetFileAttributes(""), fz::fs::kInvalidFileAttributes);
    if (geteuid() != 0) { // root may write anything
        EXPECT_EQ(fz::fs::GetFileAttributes((dir / "locked.avi").string()),
                  fz::fs::kFileAttributeReadOnly);
    }
}

TEST(FileOperationsTest, DeletesFilesButNeverFolders) {
    auto dir = FreshWorkDir("delete");
    WriteFile(dir / "gone", "x");
    fs::create_directory(dir / "kept");
    EXPECT_TRUE(fz::fs::DeleteFile((dir / "gone").string()));
    EXPECT_FALSE(fs::exists(dir / "gone"));
    EXPECT_FALSE(fz::fs::DeleteFile((dir / "gone").string()));
    EXPECT_FALSE(fz::fs::DeleteFile((dir / "kept").string()));
    EXPECT_TRUE(fs::is_directory(dir / "kept"));
}

TEST(FileOperationsTest, ChangesAndReportsTheCurrentDirectory) {
    auto dir = FreshWorkDir("cwd");
    const std::string before = fz::fs::GetCurrentDirectory();
    ASSERT_FALSE(before.empty());
    ASSERT_TRUE(fz::fs::SetCurrentDirectory(dir.string()));
    EXPECT_EQ(fs::path(fz::fs::GetCurrentDirectory()), fs::canonical(dir));
    EXPECT_FALSE(fz::fs::SetCurrentDirectory((dir / "missing").string()));
    EXPECT_EQ(fs::path(fz::fs::GetCurrentDirectory()), fs::canonical(dir));
    ASSERT_TRUE(fz::fs::SetCurrentDirectory(before));
}

TEST(FolderEnumeratorTest, MatchesPatternsWithoutRegardToCase) {
    struct Case {
        const char* name;
        const char* pattern;
        bool matches;
    };
    for (const Case& row : {
             Case{"movie.avi", "*.avi", true},
             Case{"MOVIE.AVI", "*.avi", true},
             Case{"Movie.Avi", "*.AVI", true},
             Case{"movie.avi.txt", "*.avi", false},
             Case{"movie.avix", "*.avi", false},
             Case{".avi", "*.avi", true},
             Case{"a.mpeg", "*.mpg", false},
             Case{"a.mpg", "?.mpg", true},
             Case{"ab.mpg", "?.mpg", false},
             Case{"", "*", true},
             Case{"", "?", false},
             Case{"abc", "", false},
             Case{"aXbXc", "a*b*c", true},
             Case{"abcbd", "a*bd", true},
             Case{"abcbe", "a*bd", false},
             Case{"a*b", "a\\*b", false},
             Case{"\xc3\x84.avi", "\xc3\xa4.avi", false}, // non-ASCII letters compare exactly
             Case{"\xc3\x84.avi", "\xc3\x84.AVI", true},
         }) {
        EXPECT_EQ(fz::fs::MatchesNamePattern(row.name, row.pattern), row.matches)
            << '"' << row.name << "\" against \"" << row.pattern << '"';
    }
    // Many stars over a long name: linear backtracking, no exponential blow-up.
    EXPECT_FALSE(fz::fs::MatchesNamePattern(std::string(5000, 'a'), "*a*a*a*a*a*a*a*a*b"));
}

TEST(FolderEnumeratorTest, ListsMatchingEntriesOfOneFolderOnly) {
    auto dir = FreshWorkDir("enumerate");
    WriteFile(dir / "one.avi", "x");
    WriteFile(dir / "TWO.AVI", "x");
    WriteFile(dir / "three.mpg", "x");
    fs::create_directory(dir / "folder.avi");
    fs::create_directory(dir / "deep");
    WriteFile(dir / "deep" / "four.avi", "x");

    auto found = fz::fs::FindFiles(dir.string() + "/*.avi");
    std::vector<std::string> names;
    for (const auto& entry : found) {
        names.push_back(entry.name);
        EXPECT_EQ(entry.isDirectory, entry.name == "folder.avi") << entry.name;
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"TWO.AVI", "folder.avi", "one.avi"}));

    EXPECT_TRUE(fz::fs::FindFiles((dir / "missing").string() + "/*").empty());
    auto all = fz::fs::FindFiles(dir.string() + "/*");
    EXPECT_EQ(all.size(), 5u) << "'.' and '..' are never listed";

    const std::string before = fz::fs::GetCurrentDirectory();
    ASSERT_TRUE(fz::fs::SetCurrentDirectory(dir.string()));
    EXPECT_EQ(fz::fs::FindFiles("*.MPG").size(), 1u);
    ASSERT_TRUE(fz::fs::SetCurrentDirectory(before));
}

} // namespace
