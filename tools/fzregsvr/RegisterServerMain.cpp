// fzregsvr [-u] [--installed-as PATH] LIBRARY
//
// Loads an in-process server library and calls its DllRegisterServer, or with -u its
// DllUnregisterServer, which write (remove) its classes in HKEY_CLASSES_ROOT of the machine
// hive, or of $FRAMZEL_REGISTRY_DIR when that is set. --installed-as registers the classes
// with PATH, where the library will be installed, instead of the path it was loaded from (the
// install step registers a staged tree this way). Exit status: 0 done, 1 usage, 2 the library
// cannot be loaded, 3 it has no such entry point, 4 the entry point failed.

#include "platform/com/HResult.h"
#include "platform/com/ServerModule.h"
#include "platform/registry/Registry.h"

#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <string>

namespace {

enum ExitStatus { kDone = 0, kUsage = 1, kNotLoaded = 2, kNoEntryPoint = 3, kEntryFailed = 4 };

void PrintUsage(std::FILE* to) {
    std::fprintf(to, "usage: fzregsvr [-u] [--installed-as PATH] LIBRARY\n"
                     "  registers the in-process server LIBRARY (calls its DllRegisterServer);\n"
                     "  -u unregisters it (calls its DllUnregisterServer);\n"
                     "  --installed-as PATH registers it under PATH, where it will be installed\n");
}

} // namespace

int main(int argc, char** argv) {
    bool unregister = false;
    const char* library = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-u") == 0) {
            unregister = true;
        } else if (std::strcmp(argv[i], "--installed-as") == 0 && i + 1 < argc &&
                   argv[i + 1][0] == '/') {
            fz::com::SetInstalledServerPath(argv[++i]);
        } else if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
            PrintUsage(stdout);
            return kDone;
        } else if (argv[i][0] == '-' || library) {
            PrintUsage(stderr);
            return kUsage;
        } else {
            library = argv[i];
        }
    }
    if (!library) {
        PrintUsage(stderr);
        return kUsage;
    }

    // An absolute path, so that the library's own path (which it registers) is absolute and
    // dlopen does not search the library path for a bare name.
    std::error_code error;
    const std::string path = std::filesystem::absolute(library, error).lexically_normal().string();
    // The library stays loaded until the process ends, as the COM runtime keeps its servers: the
    // libraries a server pulls in (FFmpeg's among them) keep what their initialisers allocated,
    // and unloading them would only turn that memory into leaks.
    void* handle = error ? nullptr : dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* reason = dlerror();
        std::fprintf(stderr, "fzregsvr: cannot load %s: %s\n", library,
                     reason ? reason : "no such file");
        return kNotLoaded;
    }
    const char* entryName = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto entry = reinterpret_cast<fz::com::DllRegisterServerFunction>(dlsym(handle, entryName));
    if (!entry) {
        std::fprintf(stderr, "fzregsvr: %s has no %s entry point; is it a server library?\n",
                     path.c_str(), entryName);
        return kNoEntryPoint;
    }
    const fz::com::HRESULT result = entry();
    const std::string hive = fz::registry::HiveFile(fz::registry::Hive::ClassesRoot);
    if (fz::com::Failed(result)) {
        std::fprintf(stderr, "fzregsvr: %s in %s failed with %s (registry: %s)\n", entryName,
                     path.c_str(), fz::com::FormatResult(result).c_str(), hive.c_str());
        return kEntryFailed;
    }
    std::printf("fzregsvr: %s %s in %s\n", unregister ? "unregistered" : "registered", path.c_str(),
                hive.c_str());
    return kDone;
}
