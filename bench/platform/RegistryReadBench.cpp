// Reading the settings store: a value read through a Key (which reuses the parsed hive while the
// file is unchanged) against reading and parsing the hive file, which every read cost before,
// measured in the same run on the same hive: a machine hive with 40 registered classes, as
// creating a graph's filters by class identifier reads it.
#include "platform/registry/HiveText.h"
#include "platform/registry/Registry.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace {

namespace reg = fz::registry;

template <class Work>
double MicrosecondsPerCall(int calls, Work&& work) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < calls; ++i)
        work();
    const std::chrono::duration<double, std::micro> spent =
        std::chrono::steady_clock::now() - start;
    return spent.count() / calls;
}

std::string ClassPath(int i) {
    char path[80];
    std::snprintf(path, sizeof path, "CLSID\\{6A1F0C52-3B7D-4E0A-9C21-%012d}\\InprocServer32", i);
    return path;
}

} // namespace

int main() {
    char folderTemplate[] = "/tmp/framzel-registry-bench-XXXXXX";
    if (!mkdtemp(folderTemplate))
        return 1;
    const std::filesystem::path folder = folderTemplate;
    setenv("FRAMZEL_REGISTRY_DIR", folder.c_str(), 1);
    reg::Transaction setUp(reg::Hive::ClassesRoot);
    for (int i = 0; i < 40; ++i) {
        setUp.SetString(ClassPath(i), "", "/usr/lib/framzel/libfzdsp.so.0");
        setUp.SetString(ClassPath(i), "ThreadingModel", "Both");
    }
    if (setUp.Commit() != reg::kSuccess)
        return 1;
    const std::string file = reg::HiveFile(reg::Hive::ClassesRoot);
    const auto size = std::filesystem::file_size(file);

    volatile std::size_t sink = 0;
    const double kept = MicrosecondsPerCall(20000, [&] {
        reg::Key key;
        reg::OpenKey(reg::Hive::ClassesRoot, ClassPath(17), reg::Access::Read, &key);
        char path[256];
        std::uint32_t length = sizeof path;
        key.QueryValue("", path, &length);
        sink = sink + length;
    });
    const double parsed = MicrosecondsPerCall(2000, [&] {
        std::ifstream in(file, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
        sink = sink + reg::ParseHive(text).Keys().size();
    });
    std::printf("machine hive of %ju bytes, 40 classes\n", static_cast<std::uintmax_t>(size));
    std::printf("open key + read value (kept hive): %8.2f us\n", kept);
    std::printf("read + parse the hive file:        %8.2f us (baseline)\n", parsed);
    std::printf("ratio: %.3f of the baseline\n", kept / parsed);
    std::filesystem::remove_all(folder);
    return 0;
}
