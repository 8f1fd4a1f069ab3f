#include "platform/registry/Registry.h"
#include "platform/registry/HiveText.h"
#include "tests/platform/RegistryTestSupport.h"
#include "tests/support/IsolatedEnvironment.h"

#include <array>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace fz::test;

TEST_F(RegistryTest, CreateKeepsClassAndValuesRoundTrip) {
    Key key;
    bool created = false;
    ASSERT_EQ(CreateKey(Hive::CurrentUser, kSettingsKey, "option", &key, &created), kSuccess);
    EXPECT_TRUE(created);
    EXPECT_TRUE(key.IsOpen());
    EXPECT_EQ(key.Path(), kSettingsKey);
    EXPECT_EQ(key.ClassName(), "option");
    ASSERT_EQ(key.SetDword("width", 320), kSuccess);
    ASSERT_EQ(key.SetString("temp_path", "C:\\"), kSuccess);
    key.Close();
    EXPECT_FALSE(key.IsOpen());

    Key again;
    ASSERT_EQ(CreateKey(Hive::CurrentUser, kSettingsKey, "other", &again, &created), kSuccess);
    EXPECT_FALSE(created);
    EXPECT_EQ(again.ClassName(), "option") << "an existing key keeps its class string";

    Key reader;
    ASSERT_EQ(OpenKey(Hive::CurrentUser, kSettingsKey, Access::Read, &reader), kSuccess);
    ValueType type = ValueType::None;
    std::uint32_t value = 0;
    std::uint32_t size = sizeof value;
    ASSERT_EQ(reader.QueryValue("width", &value, &size, &type), kSuccess);
    EXPECT_EQ(value, 320u);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(type, ValueType::Dword);
    EXPECT_EQ(QueryString(reader, "temp_path"), "C:\\");
    ASSERT_EQ(reader.QueryValue("temp_path", nullptr, &size, &type), kSuccess);
    EXPECT_EQ(size, 4u) << "a string is read back with its terminator";
    EXPECT_EQ(type, ValueType::String);
    EXPECT_EQ(reader.SetDword("width", 1), kAccessDenied) << "a key opened for reading";

    // The parents exist as keys of their own.
    Key parent;
    ASSERT_EQ(OpenKey(Hive::CurrentUser, "Software\\Kelvora", Access::Read, &parent), kSuccess);
    EXPECT_EQ(parent.SubKeyNames(), std::vector<std::string>{"framzel"});
    EXPECT_EQ(reader.ValueNames(), (std::vector<std::string>{"width", "temp_path"}));
}

TEST_F(RegistryTest, HiveFileIsReadableText) {
    Key key;
    ASSERT_EQ(CreateKey(Hive::CurrentUser, kSettingsKey, "option", &key), kSuccess);
    ASSERT_EQ(key.SetDword("width", 320), kSuccess);
    ASSERT_EQ(key.SetString("temp_path", "C:\\My \"tmp\"\n"), kSuccess);
    const std::string text = UserHiveText();
    EXPECT_NE(text.find("\n[Software\\Kelvora\\framzel] class=\"option\"\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("\n\"width\"=dword:00000140\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n\"temp_path\"=sz:\"C:\\\\My \\\"tmp\\\"\\x0a\"\n"), std::string::npos)
        << text;
    EXPECT_FALSE(fs::exists(RegistryDir() / "user.reg.new")) << "the temporary file is renamed";
}

TEST_F(RegistryTest, QueryValueHonoursTheCallersBufferSize) {
    Key key;
    ASSERT_EQ(CreateKey(Hive::CurrentUser, kSettingsKey, "option", &key), kSuccess);
    const std::string fits(259, 'a');    // 260 bytes with the terminator
    const std::string tooLong(260, 'b'); // 261 bytes
    ASSERT_EQ(key.SetString("fits", fits), kSuccess);
    ASSERT_EQ(key.SetString("long", tooLong), kSuccess);

    std::array<char, 260> buffer{};
    buffer.fill('x');
    std::uint32_t size = buffer.size();
    EXPECT_EQ(key.QueryValue("long", buffer.data(), &size), kMoreData);
    EXPECT_EQ(size, 261u) << "the size needed is reported";
    EXPECT_EQ(std::string(buffer.data(), buffer.size()), std::string(260, 'x'))
        << "the buffer is left untouched";

    size = buffer.size();
    ASSERT_EQ(key.QueryValue("fits", buffer.data(), &size), kSuccess);
    EXPECT_EQ(size, 260u);
    EXPECT_EQ(std::string(buffer.data()), fits);

    ASSERT_EQ(key.SetDword("width", 320), kSuccess);
    std::uint16_t small = 7;
    size = sizeof small;
    EXPECT_EQ(key.QueryValue("width", &small, &size), kMoreData);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(small, 7);

    size = 99;
    EXPECT_EQ(key.QueryValue("width", nullptr, &size), kSuccess) << "a null buffer asks the size";
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(key.QueryValue("width", &small, nullptr), kInvalidParameter);
    EXPECT_EQ(key.QueryValue("missing", nullptr, &size), kFileNotFound);

    // A string with a zero inside is stored up to the zero.
    ASSERT_EQ(key.SetString("cut", std::string_view("ab\0cd", 5)), kSuccess);
    EXPECT_EQ(QueryString(key, "cut"), "ab");
}

TEST_F(RegistryTest, KeyAndValueNamesCompareWithoutRegardToCase) {
    Key key;
    ASSERT_EQ(CreateKey(Hive::CurrentUser, kSettingsKey, "option", &key), kSuccess);
    ASSERT_EQ(key.SetDword("Over_Write", 1), kSuccess);

    Key upper;
    ASSERT_EQ(OpenKey(Hive::CurrentUser, "SOFTWARE\\KELVORA\\FRAMZEL", Access::ReadWrite, &upper),
              kSuccess);
    EXPECT_EQ(QueryDword(upper, "over_write"), 1u);
    ASSERT_EQ(upper.SetDword("OVER_WRITE", 0), kSuccess);
    EXPECT_EQ(QueryDword(key, "Over_Write"), 0u);
    EXPECT_EQ(key.ValueNames(), std::vector<std::string>{"Over_Write"})
        << "one value, with the name it was first given";

    bool created = true;
    Key lower;
    ASSERT_EQ(CreateKey(Hive::CurrentUser, "software\\kelvora\\framzel\\", "", &lower, &created),
              kSuccess);
    EXPECT_FALSE(created);
    ASSERT_EQ(CreateKey(Hive::CurrentUser, "SOFTWARE\\Kelvora\\New", "", &lower, &created),
              kSuccess);
    EXPECT_TRUE(created);
    Key parent;
    ASSERT_EQ(OpenKey(Hive::CurrentUser, "software\\kelvora", Access::Read, &parent), kSuccess);
    EXPECT_EQ(parent.SubKeyNames(), (std::vector<std::string>{"framzel", "New"}));
    EXPECT_EQ(UserHiveText().find("SOFTWARE"), std::string::npos)
        << "existing parents keep their spelling";
}

TEST_F(RegistryTest, DeleteKeyTreeRemovesSubkeysAndValues) {
    Key key;
    ASSERT_EQ(CreateKey(Hive::CurrentUser, "A\\B\\C", "", &key), kSuccess);
    ASSERT_EQ(key.SetDword("x", 1), kSuccess);
    Key sibling;
    ASSERT_EQ(CreateKey(Hive::CurrentUser, "A\\Bx", "", &sibling), kSuccess);
    ASSERT_EQ(sibling.SetDword("y", 2), kSuccess);

    EXPECT_EQ(DeleteKeyTree(Hive::CurrentUser, "a\\b"), kSuccess);
    Key probe;
    EXPECT_EQ(OpenKey(Hive::CurrentUser, "A\\B", Access::Read, &probe), kFileNotFound);
    EXPECT_FALSE(probe.IsOpen());
    EXPECT_EQ(OpenKey(Hive::CurrentUser, "A\\B\\C", Access::Read, &probe), kFileNotFound);
    ASSERT_EQ(OpenKey(Hive::CurrentUser, "A\\Bx", Access::Read, &probe), kSuccess)
        << "a key whose name only starts like the deleted one stays";
    EXPECT_EQ(QueryDword(probe, "y"), 2u);

    // A handle to a deleted key reads nothing and writes nothing.
    Status status = kSuccess;
    QueryDword(key, "x", &status);
    EXPECT_EQ(status, kFileNotFound);
    EXPECT_EQ(key.SetDword("x", 3), kFileNotFound);
    EXPECT_EQ(DeleteKeyTree(Hive::CurrentUser, "A\\B"), kFileNotFound);

    ASSERT_EQ(key.DeleteValue("x"), kFileNotFound);
    ASSERT_EQ(sibling.DeleteValue("Y"), kSuccess);
    EXPECT_EQ(sibling.DeleteValue("y"), kFileNotFound);
}

TEST_F(RegistryTest, GarbageLinesAreIgnoredAndTheRestLoads) {
    WriteFile(RegistryDir() / "user.reg", "# a hive that was edited by hand and damaged\n"
                                          "\"before any key\"=dword:00000001\n"
                                          "[Software\\Kelvora\\framzel] class=\"option\"\r\n"
                                          "\"width\"=dword:00000140\n"
                                          "\x01\x02 garbage \xff\xfe\n"
                                          "\"height\"=dword:\n"
                                          "\"height\"=dword:000000f0\n"
                                          "\"framerate\"=dword:123456789\n"
                                          "\"rotate\"=sz:\"unterminated\n"
                                          "\"quality\" = dword:50  \n"
                                          "\"temp_path\"=sz:\"C:\\\\\"\n"
                                          "\"bad escape\"=sz:\"\\q\"\n"
                                          "[Damaged\\Section\n"
                                          "\"lost\"=dword:00000001\n"
                                          "  [Software\\Other]\n"
                                          "\"kept\"=hex:01,02, 03\n"
                                          "\"bytes\"=hex:0g\n"
                                          "=dword:1\n"
                                          "@=sz:\"default\"\n");
    Key key;
    ASSERT_EQ(OpenKey(Hive::CurrentUser, kSettingsKey, Access::ReadWrite, &key), kSuccess);
    EXPECT_EQ(key.ClassName(), "option");
    EXPECT_EQ(QueryDword(key, "width"), 320u);
    EXPECT_EQ(QueryDword(key, "height"), 240u);
    EXPECT_EQ(QueryDword(key, "quality"), 0x50u);
    EXPECT_EQ(QueryString(key, "temp_path"), "C:\\");
    for (const char* damaged : {"framerate", "rotate", "bad escape", "before any key"}) {
        Status status = kSuccess;
        QueryDword(key, damaged, &status);
        EXPECT_EQ(status, kFileNotFound) << damaged;
    }
    Key other;
    ASSERT_EQ(OpenKey(Hive::CurrentUser, "Software\\Other", Access::Read, &other), kSuccess);
    std::array<unsigned char, 8> bytes{};
    std::uint32_t size = bytes.size();
    ValueType type = ValueType::None;
    ASSERT_EQ(other.QueryValue("kept", bytes.data(), &size, &type), kSuccess);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(type, ValueType::Binary);
    EXPECT_EQ(bytes[2], 3);
    EXPECT_EQ(QueryString(other, ""), "default");
    EXPECT_EQ(other.ValueNames(), (std::vector<std::string>{"kept", ""}));
    EXPECT_EQ(OpenKey(Hive::CurrentUser, "Damaged", Access::Read, &other), kFileNotFound);

    // A write keeps everything that loaded, and the damaged lines as they stand in their own
    // key's section, so a typo made by hand can still be mended.
    ASSERT_EQ(key.SetDword("fixed", 1), kSuccess);
    EXPECT_EQ(QueryDword(key, "width"), 320u);
    const std::string text = UserHiveText();
    const std::size_t section = text.find("[Software\\Kelvora\\framzel]");
    const std::size_t nextSection = text.find("\n[Software\\Other]");
    ASSERT_NE(section, std::string::npos);
    for (const char* line :
         {"\x01\x02 garbage \xff\xfe\n", "\"height\"=dword:\n", "\"framerate\"=dword:123456789\n",
          "\"bad escape\"=sz:\"\\q\"\n", "[Damaged\\Section\n\"lost\"=dword:00000001\n"}) {
        const std::size_t at = text.find(line);
        EXPECT_TRUE(at > section && at < nextSection) << line << " in\n" << text;
    }
    EXPECT_LT(text.find("\"before any key\"=dword:00000001\n"), section)
        << "a line above the first section stays there";
    EXPECT_LT(text.find("\"fixed\"=dword:00000001\n"), text.find("garbage"))
        << "values are written before the damaged lines, so none lands below a damaged section";
    ASSERT_EQ(OpenKey(Hive::CurrentUser, "Software\\Other", Access::Read, &other), kSuccess);
    EXPECT_EQ(QueryString(other, ""), "default");
    Status status = kSuccess;
    QueryDword(key, "framerate", &status);
    EXPECT_EQ(status, kFileNotFound) << "damaged lines are kept, not read";
}

TEST_F(RegistryTest, EveryByteSurvivesTheTextForm) {
    std::string allBytes;
    for (int c = 1; c < 256; ++c)
        allBytes += static_cast<char>(c);
    const std::string keyName = "Odd [key] %41 \"name\" " + allBytes.substr(0, 91) + " ";
    const std::string utf8 = "temp/Jos\xc3\xa9/\xe2\x82\xac";

    Key key;
    ASSERT_EQ(CreateKey(Hive::CurrentUser, "Software\\" + keyName, allBytes, &key), kSuccess);
    ASSERT_EQ(key.SetString(allBytes, allBytes), kSuccess);
    ASSERT_EQ(key.SetString("utf8", utf8), kSuccess);
    std::string binary;
    for (int c = 0; c < 256; ++c)
        binary += static_cast<char>(c);
    ASSERT_EQ(key.SetBinary("binary", binary.data(), static_cast<std::uint32_t>(binary.size())),
              kSuccess);
    ASSERT_EQ(key.SetBinary("empty", nullptr, 0), kSuccess);

    const std::string text = UserHiveText();
    EXPECT_NE(text.find("\"utf8\"=sz:\"" + utf8 + "\""), std::string::npos)
        << "valid UTF-8 is written as it is";
    for (std::size_t line = 0, end; line < text.size(); line = end + 1) {
        end = text.find('\n', line);
        ASSERT_NE(end, std::string::npos);
        for (std::size_t i = line; i < end; ++i)
            EXPECT_GE(static_cast<unsigned char>(text[i]), 0x20) << "no control bytes in lines";
    }

    Key reader;
    ASSERT_EQ(OpenKey(Hive::CurrentUser, "software\\" + keyName, Access::Read, &reader), kSuccess);
    EXPECT_EQ(reader.ClassName(), allBytes);
    EXPECT_EQ(QueryString(reader, allBytes), allBytes);
    EXPECT_EQ(QueryString(reader, "utf8"), utf8);
    std::string back(256, '\0');
    std::uint32_t size = 256;
    ValueType type = ValueType::None;
    ASSERT_EQ(reader.QueryValue("binary", back.data(), &size, &type), kSuccess);
    EXPECT_EQ(back, binary);
    EXPECT_EQ(type, ValueType::Binary);
    ASSERT_EQ(reader.QueryValue("empty", nullptr, &size), kSuccess);
    EXPECT_EQ(size, 0u);
    Key parent;
    ASSERT_EQ(OpenKey(Hive::CurrentUser, "Software", Access::Read, &parent), kSuccess);
    EXPECT_EQ(parent.SubKeyNames(), std::vector<std::string>{keyName});
}

// Whatever a damaged file holds, what loads from it is written out so that it loads back the
// same: rewriting a hive never changes it further.
TEST(HiveTextTest, RewritingWhatLoadedIsAFixedPoint) {
    // clang-format off
    const std::vector<std::string> pieces = {
        "[", "]", "\\", "%", "%4", "%41", "%5C", "%zz", "\"", "\\\"", "\\x4", "\\x41", "\\q", "=",
        "@", "dword:", "sz:", "hex:", "hex(7):", "hex(99999999999):", ",", "0", "f", "12",
        "ffffffff1", " ", "\t", "\r", "\n", "\n", "\n", "class=", "#", ";", "a", "B", "\xc3\xa9",
        "\xc3", "\xff", std::string(1, '\0'), "\x7f", "\n[Software\\K]\n",
        "\n[a\\%20b ] class=\"c\"\n", "\"v\"=", "sz:\"a\\\\b\"\n", "\"n\"=dword:1\n",
        "@=hex:01,02\n", "\"N\"=hex(2):00\n"};
    // clang-format on
    std::mt19937 random(20261210);
    int withValues = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int count = static_cast<int>(random() % 60);
        for (int i = 0; i < count; ++i)
            text += pieces[random() % pieces.size()];
        const std::string once = FormatHive(ParseHive(text), "test");
        const std::string twice = FormatHive(ParseHive(once), "test");
        ASSERT_EQ(once, twice) << "input: " << testing::PrintToString(text);
        withValues +=
            once.find("\n\"") != std::string::npos || once.find("\n@") != std::string::npos;
    }
    EXPECT_GT(withValues, 300) << "the inputs must reach the value lines";
}

TEST_F(RegistryTest, ClassesRootIsTheMachineHivesSoftwareClasses) {
    Key key;
    ASSERT_EQ(
        CreateKey(Hive::ClassesRoot, "CLSID\\{00000000-0000-0000-0000-000000000001}", "", &key),
        kSuccess);
    ASSERT_EQ(key.SetString("", "Test class"), kSuccess);
    EXPECT_EQ(key.Path(), "CLSID\\{00000000-0000-0000-0000-000000000001}");

    Key machine;
    ASSERT_EQ(OpenKey(Hive::LocalMachine,
                      "Software\\Classes\\CLSID\\{00000000-0000-0000-0000-000000000001}",
                      Access::Read, &machine),
              kSuccess);
    EXPECT_EQ(QueryString(machine, ""), "Test class");
    EXPECT_TRUE(fs::exists(RegistryDir() / "machine.reg"));
    EXPECT_FALSE(fs::exists(RegistryDir() / "user.reg"));

    Key root;
    ASSERT_EQ(OpenKey(Hive::ClassesRoot, "", Access::Read, &root), kSuccess);
    EXPECT_EQ(root.SubKeyNames(), std::vector<std::string>{"CLSID"});
    ASSERT_EQ(DeleteKeyTree(Hive::ClassesRoot, ""), kSuccess);
    EXPECT_TRUE(root.SubKeyNames().empty());
    ASSERT_EQ(OpenKey(Hive::LocalMachine, "Software\\Classes", Access::Read, &machine), kSuccess)
        << "the root of HKEY_CLASSES_ROOT stays";
}

TEST_F(RegistryTest, HiveFoldersFollowTheEnvironment) {
    const std::string dir = RegistryDir().string();
    EXPECT_EQ(HiveFolder(Hive::CurrentUser), dir);
    EXPECT_EQ(HiveFolder(Hive::ClassesRoot), dir);
    EXPECT_EQ(HiveFile(Hive::LocalMachine), dir + "/machine.reg");

    const auto config = fz::test::FreshWorkDir("xdg");
    const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string savedXdg = oldXdg ? oldXdg : "";
    unsetenv("FRAMZEL_REGISTRY_DIR");
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    const std::string user = HiveFolder(Hive::CurrentUser);
    const std::string machine = HiveFolder(Hive::LocalMachine);
    setenv("XDG_CONFIG_HOME", "relative/is/ignored", 1);
    const std::string userWithoutXdg = HiveFolder(Hive::CurrentUser);
    if (oldXdg)
        setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
    else
        unsetenv("XDG_CONFIG_HOME");
    setenv("FRAMZEL_REGISTRY_DIR", dir.c_str(), 1);

    EXPECT_EQ(user, config.string() + "/framzel");
    EXPECT_NE(userWithoutXdg.find("/.config/framzel"), std::string::npos) << userWithoutXdg;
    EXPECT_TRUE(fs::exists(fs::path(machine) / "libfzplatform.so"))
        << "the machine hive sits beside the library: " << machine;
    EXPECT_EQ(machine, FRAMZEL_BINARY_DIR "/bin");
}

// Root passes every permission check, so a store is made unusable for everyone by standing a
// regular file where its folder should be; for other users a read-only folder is tried too.
TEST_F(RegistryTest, UnwritableStoreRefusesChangesWithAccessDenied) {
    const auto work = fz::test::FreshWorkDir("unwritable");
    const fs::path store = work / "registry";
    fs::create_directory(store);
    setenv("FRAMZEL_REGISTRY_DIR", store.c_str(), 1);
    Key early;
    ASSERT_EQ(CreateKey(Hive::CurrentUser, kSettingsKey, "option", &early), kSuccess);
    ASSERT_EQ(early.SetDword("width", 320), kSuccess);

    fs::rename(store, work / "moved");
    WriteFile(store, "not a folder");
    Key key;
    EXPECT_EQ(CreateKey(Hive::CurrentUser, kSettingsKey, "option", &key), kAccessDenied);
    EXPECT_FALSE(key.IsOpen());
    EXPECT_EQ(early.SetDword("width", 80), kAccessDenied) << "a key opened before";
    EXPECT_EQ(early.SetString("temp_path", "x"), kAccessDenied);
    EXPECT_EQ(early.DeleteValue("width"), kAccessDenied);
    EXPECT_EQ(DeleteKeyTree(Hive::CurrentUser, kSettingsKey), kAccessDenied);
    EXPECT_EQ(OpenKey(Hive::CurrentUser, kSettingsKey, Access::Read, &key), kFileNotFound);
    EXPECT_EQ(ReadFile(store), "not a folder");

    setenv("FRAMZEL_REGISTRY_DIR", (store / "below").c_str(), 1);
    EXPECT_EQ(CreateKey(Hive::CurrentUser, kSettingsKey, "option", &key), kAccessDenied)
        << "a missing folder below a file cannot be made";

    if (geteuid() != 0) {
        const fs::path readOnly = work / "moved";
        setenv("FRAMZEL_REGISTRY_DIR", readOnly.c_str(), 1);
        ASSERT_EQ(chmod(readOnly.c_str(), 0555), 0);
        EXPECT_EQ(CreateKey(Hive::CurrentUser, kSettingsKey, "option", &key), kAccessDenied);
        chmod(readOnly.c_str(), 0755);
    }
}

TEST_F(RegistryTest, MissingStoreFolderIsCreatedOnFirstWrite) {
    const fs::path store = fz::test::FreshWorkDir("fresh") / "a" / "b";
    setenv("FRAMZEL_REGISTRY_DIR", store.c_str(), 1);
    Key key;
    ASSERT_EQ(OpenKey(Hive::CurrentUser, kSettingsKey, Access::Read, &key), kFileNotFound);
    EXPECT_FALSE(fs::exists(store)) << "reading creates nothing";
    ASSERT_EQ(CreateKey(Hive::CurrentUser, kSettingsKey, "option", &key), kSuccess);
    EXPECT_TRUE(fs::is_regular_file(store / "user.reg"));
    EXPECT_EQ(fs::status(store).permissions() & fs::perms::all, fs::perms::owner_all);
}

// Writes `count` values named "<prefix><i>" = i, each through its own read-modify-write.
int WriteValues(const std::string& prefix, int count) {
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        Key key;
        if (CreateKey(Hive::CurrentUser, kSettingsKey, "option", &key) != kSuccess ||
            key.SetDword(prefix + std::to_string(i), static_cast<std::uint32_t>(i)) != kSuccess)
            ++failures;
    }
    return failures;
}

void ExpectAllValues(const std::vector<std::string>& prefixes, int count) {
    Key key;
    ASSERT_EQ(OpenKey(Hive::CurrentUser, kSettingsKey, Access::Read, &key), kSuccess);
    EXPECT_EQ(key.ValueNames().size(), prefixes.size() * static_cast<std::size_t>(count));
    int missing = 0;
    for (const std::string& prefix : prefixes) {
        for (int i = 0; i < count; ++i) {
            Status status = kSuccess;
            const std::uint32_t value = QueryDword(key, prefix + std::to_string(i), &status);
            if (status != kSuccess || value != static_cast<std::uint32_t>(i))
                ++missing;
        }
    }
    EXPECT_EQ(missing, 0);
}

TEST_F(RegistryTest, TwoThreadsWritingAtOnceLoseNothing) {
    int failures[2] = {0, 0};
    std::thread first([&] { failures[0] = WriteValues("first_", 200); });
    std::thread second([&] { failures[1] = WriteValues("second_", 200); });
    first.join();
    second.join();
    EXPECT_EQ(failures[0] + failures[1], 0);
    ExpectAllValues({"first_", "second_"}, 200);
}

TEST_F(RegistryTest, TwoProcessesWritingAtOnceLoseNothing) {
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    pid_t children[2];
    for (int n = 0; n < 2; ++n) {
        children[n] = fork();
        ASSERT_GE(children[n], 0);
        if (children[n] == 0) {
            close(start[1]);
            char go = 0;
            const bool started = read(start[0], &go, 1) == 1; // both begin together
            _exit(started ? WriteValues(n == 0 ? "one_" : "two_", 200) : 100);
        }
    }
    close(start[0]);
    const char go[2] = {'g', 'g'};
    ASSERT_EQ(write(start[1], go, 2), 2);
    close(start[1]);
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "failed writes in the child";
    }
    ExpectAllValues({"one_", "two_"}, 200);
}

} // namespace
