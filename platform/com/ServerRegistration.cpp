#include "platform/com/ServerRegistration.h"

#include "platform/registry/Registry.h"

#include <mutex>

namespace fz::com {

namespace reg = fz::registry;

namespace {

struct InstalledPath {
    std::mutex mutex;
    std::string path;
};

InstalledPath& Installed() {
    static InstalledPath installed;
    return installed;
}

} // namespace

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

void AddInprocServerRegistration(reg::Transaction& change, const CLSID& clsid,
                                 std::string_view friendlyName, std::string_view libraryPath,
                                 ThreadingModel model) {
    const std::string classPath = ClassKeyPath(clsid);
    const std::string serverPath = classPath + "\\InprocServer32";
    // A stale InprocServer32 of an earlier registration may hold values we no longer write.
    change.DeleteKeyTree(serverPath);
    change.SetString(classPath, "", friendlyName);
    change.SetString(serverPath, "", libraryPath);
    change.SetString(serverPath, "ThreadingModel", ThreadingModelName(model));
}

void AddInprocServerRemoval(reg::Transaction& change, const CLSID& clsid) {
    change.DeleteKeyTree(ClassKeyPath(clsid));
}

HRESULT RegisterInprocServer(const CLSID& clsid, std::string_view friendlyName,
                             std::string_view libraryPath, ThreadingModel model) {
    reg::Transaction change(reg::Hive::ClassesRoot);
    AddInprocServerRegistration(change, clsid, friendlyName, libraryPath, model);
    return change.Commit() == reg::kSuccess ? S_OK : SELFREG_E_CLASS;
}

HRESULT UnregisterInprocServer(const CLSID& clsid) {
    reg::Transaction change(reg::Hive::ClassesRoot);
    AddInprocServerRemoval(change, clsid);
    return change.Commit() == reg::kSuccess ? S_OK : SELFREG_E_CLASS;
}

std::string ServerPathForRegistration(const void* addressInLibrary) {
    {
        std::lock_guard lock(Installed().mutex);
        if (!Installed().path.empty())
            return Installed().path;
    }
    return LibraryPathOf(addressInLibrary);
}

void SetInstalledServerPath(std::string path) {
    std::lock_guard lock(Installed().mutex);
    Installed().path = std::move(path);
}

} // namespace fz::com
