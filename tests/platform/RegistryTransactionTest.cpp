// Several changes as one: a transaction is one rewrite of the hive, and KeyValues reads one
// version of a key, so a record written by one process is never seen half-written by another.

#include "tests/platform/RegistryTestSupport.h"

#include <atomic>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace fz::test;

constexpr int kFields = 12;

std::string FieldName(int i) {
    return "field" + std::to_string(i);
}

Status WriteRecord(std::uint32_t value) {
    Transaction change(Hive::CurrentUser);
    change.CreateKey(kSettingsKey, "option");
    for (int i = 0; i < kFields; ++i)
        change.SetDword(kSettingsKey, FieldName(i), value);
    change.SetString(kSettingsKey, "temp_path", "/tmp/" + std::to_string(value) + "/");
    return change.Commit();
}

// The number of reads that saw fields of two different records.
int CountTornReads(int reads) {
    int torn = 0;
    for (int n = 0; n < reads; ++n) {
        Key key;
        if (OpenKey(Hive::CurrentUser, kSettingsKey, Access::Read, &key) != kSuccess)
            continue;
        const KeyValues values = key.Values();
        std::uint32_t first = 0;
        std::uint32_t size = sizeof first;
        if (values.QueryValue(FieldName(0), &first, &size) != kSuccess)
            continue;
        for (int i = 1; i < kFields; ++i) {
            std::uint32_t field = 0;
            size = sizeof field;
            torn += values.QueryValue(FieldName(i), &field, &size) != kSuccess || field != first;
        }
        char path[64] = {};
        size = sizeof path;
        torn += values.QueryValue("temp_path", path, &size) != kSuccess ||
                std::string(path) != "/tmp/" + std::to_string(first) + "/";
    }
    return torn;
}

TEST_F(RegistryTest, RecordWrittenByAnotherProcessIsNeverReadHalfWritten) {
    ASSERT_EQ(WriteRecord(0), kSuccess);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int failures = 0;
        for (std::uint32_t value = 1; value <= 150; ++value)
            failures += WriteRecord(value) != kSuccess;
        _exit(failures == 0 ? 0 : 1);
    }
    std::atomic<bool> done = false;
    int torn = 0;
    std::thread reader([&] {
        while (!done)
            torn += CountTornReads(10);
    });
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    done = true;
    reader.join();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(torn, 0);
    Key key;
    ASSERT_EQ(OpenKey(Hive::CurrentUser, kSettingsKey, Access::Read, &key), kSuccess);
    EXPECT_EQ(QueryDword(key, FieldName(kFields - 1)), 150u);
    EXPECT_EQ(key.ClassName(), "option");
}

TEST_F(RegistryTest, TransactionStepsApplyInOrderAndAFailureChangesNothing) {
    ASSERT_EQ(WriteRecord(7), kSuccess);
    const std::string before = UserHiveText();
    const std::uint32_t bytes = 0x01020304;

    // A path beyond the limits anywhere refuses the whole list, as does a null pointer.
    Transaction refused(Hive::CurrentUser);
    refused.DeleteKeyTree(kSettingsKey);
    refused.SetDword(std::string(300, 'x'), "v", 1);
    EXPECT_EQ(refused.Commit(), kInvalidParameter);
    Transaction nullData(Hive::CurrentUser);
    nullData.DeleteValue(kSettingsKey, FieldName(0));
    nullData.SetBinary(kSettingsKey, "b", nullptr, 4);
    EXPECT_EQ(nullData.Commit(), kInvalidParameter);
    EXPECT_EQ(UserHiveText(), before);

    Transaction change(Hive::CurrentUser);
    change.DeleteKeyTree(kSettingsKey);
    change.SetDword(kSettingsKey, "width", 320); // creates the key again
    change.CreateKey(kSettingsKey, "ignored: the key exists");
    change.SetBinary("Software\\Other", "bytes", &bytes, 4);
    change.DeleteValue("Software\\Missing", "nothing"); // no error
    change.DeleteKeyTree("Software\\Missing");          // no error
    change.SetString("Software\\Other", "gone", "x");
    change.DeleteValue("Software\\Other", "GONE");
    ASSERT_EQ(change.Commit(), kSuccess);

    Key key;
    ASSERT_EQ(OpenKey(Hive::CurrentUser, kSettingsKey, Access::Read, &key), kSuccess);
    EXPECT_EQ(key.ValueNames(), std::vector<std::string>{"width"});
    EXPECT_EQ(key.ClassName(), "");
    ASSERT_EQ(OpenKey(Hive::CurrentUser, "Software\\Other", Access::Read, &key), kSuccess);
    EXPECT_EQ(key.ValueNames(), std::vector<std::string>{"bytes"});

    // A transaction that changes nothing leaves the file alone.
    const std::string now = UserHiveText();
    const auto stamp = fs::last_write_time(RegistryDir() / "user.reg");
    Transaction same(Hive::CurrentUser);
    same.SetDword(kSettingsKey, "WIDTH", 320);
    ASSERT_EQ(same.Commit(), kSuccess);
    EXPECT_EQ(fs::last_write_time(RegistryDir() / "user.reg"), stamp);
    EXPECT_EQ(UserHiveText(), now);
}

TEST_F(RegistryTest, TransactionOnAnUnwritableStoreIsAccessDenied) {
    const fs::path store = FreshWorkDir("blocked") / "file";
    WriteFile(store, "not a folder");
    setenv("FRAMZEL_REGISTRY_DIR", store.c_str(), 1);
    Transaction change(Hive::LocalMachine);
    change.SetDword("Software\\A", "v", 1);
    EXPECT_EQ(change.Commit(), kAccessDenied);
}

} // namespace
