#pragma once

#include "platform/com/ComObject.h"
#include "platform/com/IClassFactory.h"

#include <new>

namespace fz::com {

// Makes one object of a class and asks it for `iid` (IClassFactory::CreateInstance's
// contract).
using CreatorFunction = HRESULT (*)(IUnknown* outer, const IID& iid, void** object);

// The usual creator: a default-constructed T (a ComObject), not aggregatable.
template <class T>
HRESULT CreateInstanceOf(IUnknown* outer, const IID& iid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    T* instance = new (std::nothrow) T();
    if (!instance)
        return E_OUTOFMEMORY;
    const HRESULT result = instance->QueryInterface(iid, object);
    instance->Release(); // the query's reference is the caller's; a refused query deletes it
    return result;
}

// A class factory over a creator function. It counts as an object of its library, and
// LockServer counts as a lock, both as DllCanUnloadNow sees them.
template <CreatorFunction Create>
class ClassFactory final : public ComObject<IClassFactory> {
public:
    HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) override {
        return Create(outer, iid, object);
    }
    FZ_COM_LOCAL HRESULT LockServer(bool lock) override {
        if (lock)
            ThisModule().Lock();
        else
            ThisModule().Unlock();
        return S_OK;
    }
};

// A new class factory for the creator, asked for `iid` (DllGetClassObject's contract).
template <CreatorFunction Create>
HRESULT GetClassFactory(const IID& iid, void** object) {
    return CreateInstanceOf<ClassFactory<Create>>(nullptr, iid, object);
}

} // namespace fz::com
