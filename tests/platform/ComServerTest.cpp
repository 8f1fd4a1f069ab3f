#include "platform/com/ComRuntime.h"
#include "platform/com/IClassFactory.h"
#include "platform/com/ServerModule.h"
#include "platform/registry/Registry.h"
#include "tests/platform/comserver/TestClient.h"
#include "tests/platform/comserver/TestInterfaces.h"
#include "tests/support/IsolatedEnvironment.h"

#include <atomic>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
namespace reg = fz::registry;
using namespace fz::com;
using namespace fz::test;

// Built beside the test (tests/platform/CMakeLists.txt passes their paths).
const std::string kServer = FZ_TEST_SERVER_PATH;
const std::string kRegSvr = FZ_REGSVR_PATH;

struct CommandResult {
    int exitStatus = -1;
    std::string output; // standard output and error together
};

// Runs fzregsvr with the test's environment (so its FRAMZEL_REGISTRY_DIR).
CommandResult RunRegSvr(const std::string& arguments) {
    const fs::path log = fz::test::WorkDir() / "fzregsvr.log";
    const std::string command = kRegSvr + " " + arguments + " > " + log.string() + " 2>&1";
    const int status = std::system(command.c_str());
    CommandResult result;
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.output = fz::test::ReadFile(log);
    return result;
}

bool ServerIsLoaded() {
    void* handle = dlopen(kServer.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return false;
    dlclose(handle); // RTLD_NOLOAD still takes a reference
    return true;
}

std::string DefaultValue(reg::Hive hive, const std::string& path, const char* name = "") {
    reg::Key key;
    if (reg::OpenKey(hive, path, reg::Access::Read, &key) != reg::kSuccess)
        return "<no key>";
    char text[4096];
    std::uint32_t size = sizeof text;
    if (key.QueryValue(name, text, &size) != reg::kSuccess)
        return "<no value>";
    return text;
}

class ComServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("FRAMZEL_REGISTRY_DIR", fz::test::RegistryDir().c_str(), 1);
        std::error_code ignored;
        fs::remove_all(fz::test::RegistryDir(), ignored);
        fs::create_directories(fz::test::RegistryDir());
        ASSERT_EQ(CoInitialize(), S_OK);
    }
    void TearDown() override {
        CoUninitialize();
        CoFreeUnusedLibraries();
        setenv("FRAMZEL_REGISTRY_DIR", fz::test::RegistryDir().c_str(), 1);
    }
};

TEST_F(ComServerTest, UnregisteredClassGivesClassNotRegistered) {
    ComPtr<ITestCounter> counter;
    EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, &counter),
              REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(counter);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(
        CoGetClassObject(CLSID_TestCounter, CLSCTX_ALL, nullptr, IClassFactory::kIid, &object),
        REGDB_E_CLASSNOTREG);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, ITestCounter::kIid,
                               nullptr),
              E_POINTER);
    EXPECT_EQ(LoadedServerCount(), 0u);
}

TEST_F(ComServerTest, FzregsvrRegistersCreatesAndUnregisters) {
    const CommandResult registered = RunRegSvr(kServer);
    ASSERT_EQ(registered.exitStatus, 0) << registered.output;
    EXPECT_NE(registered.output.find("registered"), std::string::npos) << registered.output;

    const std::string classKey = "CLSID\\{6A1F0C52-3B7D-4E0A-9C21-5D8E7F6A4B10}";
    EXPECT_EQ(DefaultValue(reg::Hive::ClassesRoot, classKey), kTestCounterName);
    EXPECT_EQ(DefaultValue(reg::Hive::ClassesRoot, classKey + "\\InprocServer32"),
              fs::absolute(kServer).lexically_normal().string());
    EXPECT_EQ(DefaultValue(reg::Hive::ClassesRoot, classKey + "\\InprocServer32", "ThreadingModel"),
              "Both");
    EXPECT_EQ(DefaultValue(reg::Hive::ClassesRoot,
                           "CLSID\\{6A1F0C52-3B7D-4E0A-9C21-5D8E7F6A4B11}\\InprocServer32",
                           "ThreadingModel"),
              "Apartment");
    EXPECT_EQ(InprocServerPath(CLSID_TestCounter), fs::absolute(kServer).lexically_normal());

    {
        ComPtr<ITestCounterEx> counter;
        ASSERT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, &counter),
                  S_OK);
        EXPECT_EQ(counter->Increment(), 1);
        ComPtr<ITestCounter> base;
        ASSERT_EQ(counter.As(&base), S_OK);
        EXPECT_EQ(base->Increment(), 2);
        ComPtr<ITestLabel> label;
        ASSERT_EQ(counter.As(&label), S_OK);
        EXPECT_STREQ(label->Label(), "counter");
        ComPtr<IClassFactory> notThere;
        EXPECT_EQ(counter.As(&notThere), E_NOINTERFACE);

        ComPtr<ITestLabel> other;
        ASSERT_EQ(CoCreateInstance(CLSID_TestLabel, nullptr, CLSCTX_ALL, &other), S_OK);
        EXPECT_STREQ(other->Label(), "label");
        ComPtr<ITestCounter> wrong;
        EXPECT_EQ(other.As(&wrong), E_NOINTERFACE);
        EXPECT_EQ(LoadedServerCount(), 1u) << "one library serves both classes";
    }

    const CommandResult unregistered = RunRegSvr("-u " + kServer);
    ASSERT_EQ(unregistered.exitStatus, 0) << unregistered.output;
    reg::Key key;
    EXPECT_EQ(reg::OpenKey(reg::Hive::ClassesRoot, classKey, reg::Access::Read, &key),
              reg::kFileNotFound);
    EXPECT_EQ(reg::OpenKey(reg::Hive::ClassesRoot, "CLSID\\{6A1F0C52-3B7D-4E0A-9C21-5D8E7F6A4B11}",
                           reg::Access::Read, &key),
              reg::kFileNotFound);
    ComPtr<ITestCounter> gone;
    EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, &gone),
              REGDB_E_CLASSNOTREG);
}

TEST_F(ComServerTest, CreatedByIdentifierFromAnotherLibrary) {
    ASSERT_EQ(RunRegSvr(kServer).exitStatus, 0);
    long count = 0;
    EXPECT_EQ(TestClientCount(CLSID_TestCounter, 3, &count), S_OK);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(TestClientCount(CLSID_TestMissing, 1, &count), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(TestClientCount(CLSID_TestLabel, 1, &count), E_NOINTERFACE)
        << "the label class has no counter interface";
}

TEST_F(ComServerTest, InProcessRegistrationThroughDllRegisterServer) {
    void* library = dlopen(kServer.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto registerServer =
        reinterpret_cast<DllRegisterServerFunction>(dlsym(library, "DllRegisterServer"));
    auto unregisterServer =
        reinterpret_cast<DllUnregisterServerFunction>(dlsym(library, "DllUnregisterServer"));
    ASSERT_TRUE(registerServer && unregisterServer);

    ASSERT_EQ(registerServer(), S_OK);
    ComPtr<ITestCounter> counter;
    EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, &counter), S_OK);
    counter.Reset();
    ASSERT_EQ(unregisterServer(), S_OK);
    EXPECT_EQ(unregisterServer(), S_OK) << "unregistering twice is no error";
    EXPECT_EQ(InprocServerPath(CLSID_TestCounter), "");

    // An unwritable registry (a file where its folder should be, which stops root too).
    const fs::path blocked = fz::test::FreshWorkDir("blocked") / "registry";
    fz::test::WriteFile(blocked, "not a folder");
    setenv("FRAMZEL_REGISTRY_DIR", blocked.c_str(), 1);
    EXPECT_EQ(registerServer(), SELFREG_E_CLASS);
    EXPECT_EQ(unregisterServer(), SELFREG_E_CLASS);
    const CommandResult refused = RunRegSvr(kServer);
    EXPECT_EQ(refused.exitStatus, 4);
    EXPECT_NE(refused.output.find("SELFREG_E_CLASS"), std::string::npos) << refused.output;
    dlclose(library);
}

// The server's own answer, asked directly (the runtime never unloads a server).
HRESULT ServerCanUnloadNow() {
    void* handle = dlopen(kServer.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!handle)
        return E_FAIL;
    const auto canUnloadNow =
        reinterpret_cast<DllCanUnloadNowFunction>(dlsym(handle, "DllCanUnloadNow"));
    const HRESULT result = canUnloadNow ? canUnloadNow() : E_FAIL;
    dlclose(handle);
    return result;
}

TEST_F(ComServerTest, DllCanUnloadNowCountsObjectsAndLocksButTheLibraryStays) {
    ASSERT_EQ(RunRegSvr(kServer).exitStatus, 0);
    ComPtr<ITestCounter> counter;
    ASSERT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, &counter), S_OK);
    EXPECT_TRUE(ServerIsLoaded());
    EXPECT_EQ(ServerCanUnloadNow(), S_FALSE) << "a live object";
    EXPECT_EQ(counter->Increment(), 1);
    counter.Reset();
    EXPECT_EQ(ServerCanUnloadNow(), S_OK);

    // A locked class factory counts too, although no object lives.
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(CoGetClassObject(CLSID_TestCounter, CLSCTX_INPROC_SERVER, nullptr,
                               IClassFactory::kIid, factory.PutVoid()),
              S_OK);
    ASSERT_EQ(factory->LockServer(true), S_OK);
    factory.Reset();
    EXPECT_EQ(ServerCanUnloadNow(), S_FALSE) << "a server lock";
    ASSERT_EQ(CoGetClassObject(CLSID_TestCounter, CLSCTX_INPROC_SERVER, nullptr,
                               IClassFactory::kIid, factory.PutVoid()),
              S_OK);
    ASSERT_EQ(factory->LockServer(false), S_OK);
    factory.Reset();
    EXPECT_EQ(ServerCanUnloadNow(), S_OK);

    CoFreeUnusedLibraries();
    EXPECT_EQ(LoadedServerCount(), 1u);
    EXPECT_TRUE(ServerIsLoaded()) << "server libraries stay for the life of the process";
    ASSERT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, &counter), S_OK);
    EXPECT_EQ(counter->Increment(), 1);
    EXPECT_EQ(LoadedServerCount(), 1u);
}

// Threads that create and release the server's objects while another thread keeps asking to
// free unused libraries: a last Release returns through the library's code after its counts
// reached 0, so a library unloaded at that moment would crash the releasing thread.
TEST_F(ComServerTest, ReleasingThreadsNeverRunIntoAnUnloadedLibrary) {
    ASSERT_EQ(RunRegSvr(kServer).exitStatus, 0);
    std::atomic<bool> stop = false;
    std::atomic<int> failures = 0;
    std::vector<std::thread> users;
    for (int t = 0; t < 3; ++t) {
        users.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) {
                ComPtr<ITestCounter> counter;
                if (CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, &counter) !=
                        S_OK ||
                    counter->Increment() != 1)
                    ++failures;
            }
        });
    }
    std::thread freer([&] {
        while (!stop)
            CoFreeUnusedLibraries();
    });
    for (std::thread& user : users)
        user.join();
    stop = true;
    freer.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(ServerCanUnloadNow(), S_OK) << "every object was counted out";
    EXPECT_TRUE(ServerIsLoaded());
}

TEST_F(ComServerTest, BrokenRegistrationsFailCleanly) {
    // Registered to a library that does not exist.
    ASSERT_EQ(RegisterInprocServer(CLSID_TestMissing, "missing", "/nonexistent/libgone.so",
                                   ThreadingModel::Both),
              S_OK);
    ComPtr<ITestCounter> counter;
    EXPECT_EQ(CoCreateInstance(CLSID_TestMissing, nullptr, CLSCTX_INPROC_SERVER, &counter),
              CO_E_DLLNOTFOUND);

    // Registered to a library without the class.
    ASSERT_EQ(RegisterInprocServer(CLSID_TestMissing, "missing", kServer, ThreadingModel::Both),
              S_OK);
    EXPECT_EQ(CoCreateInstance(CLSID_TestMissing, nullptr, CLSCTX_INPROC_SERVER, &counter),
              CLASS_E_CLASSNOTAVAILABLE);

    // Registered to a library that is no server.
    const std::string platform = LibraryPathOf(reinterpret_cast<const void*>(&InprocServerPath));
    ASSERT_EQ(RegisterInprocServer(CLSID_TestMissing, "missing", platform, ThreadingModel::Both),
              S_OK);
    EXPECT_EQ(CoCreateInstance(CLSID_TestMissing, nullptr, CLSCTX_INPROC_SERVER, &counter),
              CO_E_ERRORINDLL);

    // Only in-process servers exist; aggregation is refused by the class.
    ASSERT_EQ(RunRegSvr(kServer).exitStatus, 0);
    EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, nullptr, CLSCTX_LOCAL_SERVER, &counter),
              REGDB_E_CLASSNOTREG);
    ComPtr<ITestLabel> outer;
    ASSERT_EQ(CoCreateInstance(CLSID_TestLabel, nullptr, CLSCTX_INPROC_SERVER, &outer), S_OK);
    EXPECT_EQ(CoCreateInstance(CLSID_TestCounter, outer.Get(), CLSCTX_INPROC_SERVER, &counter),
              CLASS_E_NOAGGREGATION);
}

TEST_F(ComServerTest, FzregsvrReportsWhatWentWrong) {
    CommandResult result = RunRegSvr("");
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_NE(result.output.find("usage"), std::string::npos) << result.output;

    result = RunRegSvr((fz::test::WorkDir() / "no-such-library.so").string());
    EXPECT_EQ(result.exitStatus, 2);
    EXPECT_NE(result.output.find("cannot load"), std::string::npos) << result.output;

    const std::string platform = LibraryPathOf(reinterpret_cast<const void*>(&InprocServerPath));
    result = RunRegSvr(platform);
    EXPECT_EQ(result.exitStatus, 3);
    EXPECT_NE(result.output.find("no DllRegisterServer"), std::string::npos) << result.output;
}

TEST_F(ComServerTest, CoInitializeCountsPerThread) {
    EXPECT_EQ(CoInitialize(), S_FALSE) << "SetUp made the first call";
    CoUninitialize();
    HRESULT onOtherThread = E_FAIL;
    std::thread([&] {
        onOtherThread = CoInitialize();
        CoUninitialize();
    }).join();
    EXPECT_EQ(onOtherThread, S_OK);
}

// The build registers the test server into the build tree's machine hive
// (framzel_com_server), so the built tree runs uninstalled. Read only.
TEST_F(ComServerTest, BuildTreeHiveHoldsTheBuildsRegistration) {
    unsetenv("FRAMZEL_REGISTRY_DIR");
    const std::string hive = reg::HiveFile(reg::Hive::ClassesRoot);
    const std::string path = InprocServerPath(CLSID_TestCounter);
    setenv("FRAMZEL_REGISTRY_DIR", fz::test::RegistryDir().c_str(), 1);
    EXPECT_EQ(hive, FRAMZEL_BINARY_DIR "/bin/machine.reg");
    EXPECT_EQ(path, fs::absolute(kServer).lexically_normal().string());
}

} // namespace
