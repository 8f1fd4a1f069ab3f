#include "platform/com/ServerRegistration.h"

#include "platform/registry/Registry.h"

#include <dlfcn.h>
#include <filesystem>

namespace fz::com {

namespace reg = fz::registry;

std::string_view ThreadingModelName(ThreadingModel model) {
    switch (model) {
    case ThreadingModel::Apartment:
        return "Apartment";
    case ThreadingModel::Free:
        return "Free";
    case ThreadingModel::Both:
        return "Both";
    case ThreadingModel::Neutral:
        return "Neutral";
    }
    return "Apartment";
}

std::string ClassKeyPath(const CLSID& clsid) {
    return "CLSID\\" + FormatGuid(clsid);
}

HRESULT RegisterInprocServer(const CLSID& clsid, std::string_view friendlyName,
                             std::string_view libraryPath, ThreadingModel model) {
    const std::string classPath = ClassKeyPath(clsid);
    const std::string serverPath = classPath + "\\InprocServer32";
    // A stale InprocServer32 of an earlier registration may hold values we no longer write.
    if (const reg::Status removed = reg::DeleteKeyTree(reg::Hive::ClassesRoot, serverPath);
        removed != reg::kSuccess && removed != reg::kFileNotFound)
        return SELFREG_E_CLASS;
    reg::Key classKey;
    reg::Key serverKey;
    if (reg::CreateKey(reg::Hive::ClassesRoot, classPath, {}, &classKey) != reg::kSuccess ||
        classKey.SetString("", friendlyName) != reg::kSuccess ||
        reg::CreateKey(reg::Hive::ClassesRoot, serverPath, {}, &serverKey) != reg::kSuccess ||
        serverKey.SetString("", libraryPath) != reg::kSuccess ||
        serverKey.SetString("ThreadingModel", ThreadingModelName(model)) != reg::kSuccess)
        return SELFREG_E_CLASS;
    return S_OK;
}

HRESULT UnregisterInprocServer(const CLSID& clsid) {
    const reg::Status status = reg::DeleteKeyTree(reg::Hive::ClassesRoot, ClassKeyPath(clsid));
    return status == reg::kSuccess || status == reg::kFileNotFound ? S_OK : SELFREG_E_CLASS;
}

std::string LibraryPathOf(const void* address) {
    Dl_info info{};
    if (!address || dladdr(address, &info) == 0 || !info.dli_fname || !*info.dli_fname)
        return {};
    std::error_code error;
    auto path = std::filesystem::absolute(info.dli_fname, error);
    if (error)
        return {};
    return path.lexically_normal().string();
}

} // namespace fz::com
