#include "platform/com/ServerModule.h"

namespace fz::com {

HRESULT GetServerClassObject(std::span<const ServerClass> classes, const CLSID& clsid,
                             const IID& iid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    for (const ServerClass& entry : classes)
        if (entry.clsid == clsid)
            return entry.getClassFactory(iid, object);
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CanUnloadServer(const ModuleCounts& counts) {
    return counts.CanUnload() ? S_OK : S_FALSE;
}

HRESULT RegisterServerClasses(std::span<const ServerClass> classes, const void* addressInLibrary) {
    const std::string library = ServerPathForRegistration(addressInLibrary);
    if (library.empty())
        return SELFREG_E_CLASS;
    registry::Transaction change(registry::Hive::ClassesRoot);
    for (const ServerClass& entry : classes)
        AddInprocServerRegistration(change, entry.clsid, entry.friendlyName, library,
                                    entry.threadingModel);
    return change.Commit() == registry::kSuccess ? S_OK : SELFREG_E_CLASS;
}

HRESULT UnregisterServerClasses(std::span<const ServerClass> classes) {
    registry::Transaction change(registry::Hive::ClassesRoot);
    for (const ServerClass& entry : classes)
        AddInprocServerRemoval(change, entry.clsid);
    return change.Commit() == registry::kSuccess ? S_OK : SELFREG_E_CLASS;
}

} // namespace fz::com
