// The registry against what a damaged, hostile or busy store throws at it: sibling keys that
// sort between a key and its subkeys, FIFOs and devices in the hive's place, paths beyond the
// limits, and another process rewriting the hive while this one keeps a parsed copy.

#include "platform/registry/HiveModel.h"
#include "platform/registry/HiveText.h"
#include "tests/platform/RegistryTestSupport.h"

#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace fz::test;

// Deleting a key removes its subkeys also when a sibling whose name extends the key's sorts
// between them: ' ', '-', '.' and the digits sort below '\'. Unregistering a class hits this
// with "FZCTRL.FramzelCtrl" beside "FZCTRL.FramzelCtrl.1".
TEST_F(RegistryTest, DeleteKeyTreeRemovesSubkeysPastSiblingsThatSortBetween) {
    for (const char* suffix : {".1", " 2", "-x", "0", "_after"}) {
        SCOPED_TRACE(suffix);
        const std::string name = "FZCTRL.FramzelCtrl";
        const std::string sibling = name + suffix;
        Transaction setUp(Hive::ClassesRoot);
        setUp.SetString(name, "", "control");
        setUp.SetString(name + "\\CLSID", "", "{one}");
        setUp.SetString(name + "\\CurVer\\Deep", "", "deep");
        setUp.SetString(sibling, "", "versioned");
        setUp.SetString(sibling + "\\CLSID", "", "{two}");
        ASSERT_EQ(setUp.Commit(), kSuccess);

        ASSERT_EQ(DeleteKeyTree(Hive::ClassesRoot, name), kSuccess);
        const std::string text = ReadFile(RegistryDir() / "machine.reg");
        EXPECT_EQ(text.find("{one}"), std::string::npos) << text;
        EXPECT_EQ(text.find("deep"), std::string::npos) << text;
        Key probe;
        EXPECT_EQ(OpenKey(Hive::ClassesRoot, name + "\\CLSID", Access::Read, &probe),
                  kFileNotFound);
        ASSERT_EQ(OpenKey(Hive::ClassesRoot, sibling + "\\CLSID", Access::Read, &probe), kSuccess);
        EXPECT_EQ(QueryString(probe, ""), "{two}");
        ASSERT_EQ(DeleteKeyTree(Hive::ClassesRoot, ""), kSuccess);
    }
}

TEST_F(RegistryTest, FifoOrFolderInPlaceOfTheHiveReadsAsEmptyWithoutBlocking) {
    alarm(20); // a reader that blocks on the FIFO ends the test here
    const std::string hive = (RegistryDir() / "user.reg").string();
    ASSERT_EQ(mkfifo(hive.c_str(), 0600), 0);
    Key key;
    EXPECT_EQ(OpenKey(Hive::CurrentUser, kSettingsKey, Access::Read, &key), kFileNotFound);
    EXPECT_EQ(OpenKey(Hive::CurrentUser, "", Access::Read, &key), kSuccess);
    EXPECT_TRUE(key.ValueNames().empty());
    // A change replaces the FIFO with a hive file.
    ASSERT_EQ(CreateKey(Hive::CurrentUser, kSettingsKey, "option", &key), kSuccess);
    ASSERT_EQ(key.SetDword("width", 320), kSuccess);
    EXPECT_TRUE(fs::is_regular_file(hive));
    EXPECT_EQ(QueryDword(key, "width"), 320u);

    // A FIFO left where the temporary file is made and one as the lock file.
    const std::string leftOver = hive + ".new";
    ASSERT_EQ(mkfifo(leftOver.c_str(), 0600), 0);
    EXPECT_EQ(key.SetDword("width", 176), kSuccess);
    EXPECT_EQ(QueryDword(key, "width"), 176u);
    fs::remove(hive + ".lock");
    ASSERT_EQ(mkfifo((hive + ".lock").c_str(), 0600), 0);
    EXPECT_EQ(key.SetDword("width", 160), kAccessDenied);
    EXPECT_EQ(QueryDword(key, "width"), 176u);

    fs::remove(hive);
    fs::create_directory(hive);
    EXPECT_EQ(QueryDword(key, "width"), 0xDEADBEEFu) << "a folder reads as an empty hive";
    alarm(0);
}

TEST_F(RegistryTest, PathsBeyondTheLimitsAreRefused) {
    std::string deepest;
    for (std::size_t i = 0; i < fz::registry::kMaxKeyDepth; ++i)
        deepest += "k\\";
    const std::string longest(fz::registry::kMaxKeyNameLength, 'n');
    struct Case {
        std::string path;
        Status expected;
    };
    const std::vector<Case> cases = {
        {deepest, kSuccess},
        {deepest + "one_more", kInvalidParameter},
        {"Software\\" + longest, kSuccess},
        {"Software\\" + longest + "n", kInvalidParameter},
        {std::string(fz::registry::kMaxKeyPathLength / 2, 'a') + "\\" +
             std::string(fz::registry::kMaxKeyPathLength / 2, 'b'),
         kInvalidParameter},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.substr(0, 40));
        Key key;
        EXPECT_EQ(CreateKey(Hive::CurrentUser, c.path, "", &key), c.expected);
        EXPECT_EQ(OpenKey(Hive::CurrentUser, c.path, Access::Read, &key),
                  c.expected == kSuccess ? kSuccess : kInvalidParameter);
        Transaction change(Hive::CurrentUser);
        change.SetDword(c.path, "v", 1);
        EXPECT_EQ(change.Commit(), c.expected);
    }
    // HKEY_CLASSES_ROOT's keys count their "Software\Classes" too.
    Key key;
    EXPECT_EQ(CreateKey(Hive::ClassesRoot, deepest.substr(2), "", &key), kInvalidParameter);
    EXPECT_EQ(CreateKey(Hive::LocalMachine, deepest.substr(2), "", &key), kSuccess);
}

TEST(HiveTextTest, SectionsBeyondTheLimitsAreKeptAsDamagedLines) {
    std::string deep;
    for (int i = 0; i < 5000; ++i)
        deep += "a\\";
    const std::string text = "[ok]\n\"v\"=dword:1\n[" + deep + "]\n\"w\"=dword:2\n[" +
                             std::string(300, 'n') + "]\n\"x\"=dword:3\n";
    const auto contents = fz::registry::ParseHive(text);
    EXPECT_EQ(contents.Keys().size(), 2u) << "the root and [ok] only";
    const auto* ok = contents.Find("ok");
    ASSERT_NE(ok, nullptr);
    ASSERT_EQ(ok->damagedLines.size(), 4u);
    EXPECT_EQ(ok->damagedLines[1], "\"w\"=dword:2");
    const std::string formatted = fz::registry::FormatHive(contents, "test");
    EXPECT_NE(formatted.find("[" + deep + "]\n\"w\"=dword:2\n"), std::string::npos);
}

// Another process rewrites the hive with values of the same size, as fast as it can, while
// this one keeps its parsed copy: each rewrite must be seen. Inodes are reused and file times
// only change at the clock's tick, so this holds only because every version of the file gets
// a later modification time than the one before.
TEST_F(RegistryTest, EveryRewriteByAnotherProcessIsSeenAlsoWithinOneClockTick) {
    Key key;
    ASSERT_EQ(CreateKey(Hive::CurrentUser, kSettingsKey, "option", &key), kSuccess);
    ASSERT_EQ(key.SetDword("round", 0), kSuccess);
    int toChild[2];
    int toParent[2];
    ASSERT_EQ(pipe(toChild), 0);
    ASSERT_EQ(pipe(toParent), 0);
    constexpr int kRounds = 300;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        Key writer;
        if (OpenKey(Hive::CurrentUser, kSettingsKey, Access::ReadWrite, &writer) != kSuccess)
            _exit(2);
        for (int round = 1; round <= kRounds; ++round) {
            char go = 0;
            if (read(toChild[0], &go, 1) != 1 || writer.SetDword("round", round % 2) != kSuccess ||
                write(toParent[1], &go, 1) != 1)
                _exit(3);
        }
        _exit(0);
    }
    int missed = 0;
    for (int round = 1; round <= kRounds; ++round) {
        EXPECT_EQ(QueryDword(key, "round"), static_cast<std::uint32_t>((round - 1) % 2));
        char go = 'g';
        ASSERT_EQ(write(toChild[1], &go, 1), 1);
        ASSERT_EQ(read(toParent[0], &go, 1), 1);
        missed += QueryDword(key, "round") != static_cast<std::uint32_t>(round % 2);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(missed, 0);
}

} // namespace
