// fztestcreate: creates the test server's counter class by its identifier, as any client of an
// installed tree would, and reports where everything it used came from. The install test runs
// the installed copy.
//
// Prints "count N" after two increments, "server PATH" (the registered library), "hive PATH"
// and one "mapped PATH" line per file mapped into the process. Exit status 0 when the class was
// created and counted, 1 otherwise.

#include "platform/com/ComRuntime.h"
#include "platform/registry/Registry.h"
#include "tests/platform/comserver/TestInterfaces.h"

#include <cstdio>
#include <fstream>
#include <set>
#include <string>

int main() {
    using namespace fz::com;
    CoInitialize();
    ComPtr<fz::test::ITestCounter> counter;
    const HRESULT created =
        CoCreateInstance(fz::test::CLSID_TestCounter, nullptr, CLSCTX_INPROC_SERVER, &counter);
    if (Failed(created)) {
        std::printf("create failed %s\n", FormatResult(created).c_str());
        return 1;
    }
    counter->Increment();
    std::printf("count %ld\n", counter->Increment());
    std::printf("server %s\n", InprocServerPath(fz::test::CLSID_TestCounter).c_str());
    std::printf("hive %s\n", fz::registry::HiveFile(fz::registry::Hive::ClassesRoot).c_str());
    std::ifstream maps("/proc/self/maps");
    std::set<std::string> files;
    for (std::string line; std::getline(maps, line);)
        if (const std::size_t slash = line.find('/'); slash != std::string::npos)
            files.insert(line.substr(slash));
    for (const std::string& file : files)
        std::printf("mapped %s\n", file.c_str());
    counter.Reset();
    CoUninitialize();
    return 0;
}
