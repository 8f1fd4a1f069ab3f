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
    const std::string library = LibraryPathOf(addressInLibrary);
    if (library.empty())
        return SELFREG_E_CLASS;
    for (std::size_t i = 0; i < classes.size(); ++i) {
        const ServerClass& entry = classes[i];
        if (Failed(RegisterInprocServer(entry.clsid, entry.friendlyName, library,
                                        entry.threadingModel))) {
            UnregisterServerClasses(classes.first(i + 1));
            return SELFREG_E_CLASS;
        }
    }
    return S_OK;
}

HRESULT UnregisterServerClasses(std::span<const ServerClass> classes) {
    HRESULT result = S_OK;
    for (const ServerClass& entry : classes)
        if (Failed(UnregisterInprocServer(entry.clsid)))
            result = SELFREG_E_CLASS;
    return result;
}

} // namespace fz::com
