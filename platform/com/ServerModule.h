#pragma once

#include "platform/com/ClassFactory.h"
#include "platform/com/ModuleCounts.h"
#include "platform/com/ServerRegistration.h"

#include <span>

namespace fz::com {

// One class that a server library offers: its identifier, the friendly name and threading
// model it is registered with, and how its class factory is made.
struct ServerClass {
    CLSID clsid;
    const char* friendlyName;
    ThreadingModel threadingModel;
    HRESULT (*getClassFactory)(const IID& iid, void** object);
};

// A ServerClass for a ComObject type made by CreateInstanceOf<T> ...
template <class T>
constexpr ServerClass ServerClassOf(const CLSID& clsid, const char* friendlyName,
                                    ThreadingModel model = ThreadingModel::Both) {
    return {clsid, friendlyName, model, &GetClassFactory<&CreateInstanceOf<T>>};
}

// ... or by a creator of its own (for classes with constructor arguments or aggregation).
template <CreatorFunction Create>
constexpr ServerClass ServerClassWith(const CLSID& clsid, const char* friendlyName,
                                      ThreadingModel model = ThreadingModel::Both) {
    return {clsid, friendlyName, model, &GetClassFactory<Create>};
}

// The work behind a server library's four entry points. FZ_COM_SERVER_EXPORTS below defines
// the entry points over these; a server with more to register (a type library, media filter
// entries) defines DllRegisterServer / DllUnregisterServer itself and calls
// RegisterServerClasses / UnregisterServerClasses for its classes.
//
// DllGetClassObject: the class factory of a class in the table; CLASS_E_CLASSNOTAVAILABLE
// for other classes, E_POINTER for a null `object`.
HRESULT GetServerClassObject(std::span<const ServerClass> classes, const CLSID& clsid,
                             const IID& iid, void** object);
// DllCanUnloadNow: S_OK when the library has no live objects and no locks, else S_FALSE.
HRESULT CanUnloadServer(const ModuleCounts& counts);
// DllRegisterServer: registers every class of the table with the path of the library that
// holds `addressInLibrary` (ServerPathForRegistration), as one change of the registry;
// SELFREG_E_CLASS (and nothing registered) on failure.
HRESULT RegisterServerClasses(std::span<const ServerClass> classes, const void* addressInLibrary);
// DllUnregisterServer: removes every class of the table, as one change; SELFREG_E_CLASS (and
// nothing removed) when the registry cannot be written.
HRESULT UnregisterServerClasses(std::span<const ServerClass> classes);

// The signatures of the entry points, as CoCreateInstance and fzregsvr look them up.
using DllGetClassObjectFunction = HRESULT (*)(const CLSID& clsid, const IID& iid, void** object);
using DllCanUnloadNowFunction = HRESULT (*)();
using DllRegisterServerFunction = HRESULT (*)();
using DllUnregisterServerFunction = HRESULT (*)();

} // namespace fz::com

// DllGetClassObject and DllCanUnloadNow over a table of ServerClass (a constant array or
// anything std::span takes), and the library's ModuleCounts. At global scope, once per
// library.
#define FZ_COM_SERVER_CLASS_EXPORTS(classes)                                                       \
    FZ_COM_DEFINE_MODULE()                                                                         \
    extern "C" FZ_COM_EXPORT ::fz::com::HRESULT DllGetClassObject(                                 \
        const ::fz::com::CLSID& clsid, const ::fz::com::IID& iid, void** object) {                 \
        return ::fz::com::GetServerClassObject(classes, clsid, iid, object);                       \
    }                                                                                              \
    extern "C" FZ_COM_EXPORT ::fz::com::HRESULT DllCanUnloadNow() {                                \
        return ::fz::com::CanUnloadServer(::fz::com::ThisModule());                                \
    }

// DllRegisterServer and DllUnregisterServer that register exactly the table's classes.
#define FZ_COM_SERVER_REGISTRATION_EXPORTS(classes)                                                \
    extern "C" FZ_COM_EXPORT ::fz::com::HRESULT DllRegisterServer() {                              \
        return ::fz::com::RegisterServerClasses(                                                   \
            classes, reinterpret_cast<const void*>(&::fz::com::ThisModule));                       \
    }                                                                                              \
    extern "C" FZ_COM_EXPORT ::fz::com::HRESULT DllUnregisterServer() {                            \
        return ::fz::com::UnregisterServerClasses(classes);                                        \
    }

// All four entry points of a server whose registration is just its classes.
#define FZ_COM_SERVER_EXPORTS(classes)                                                             \
    FZ_COM_SERVER_CLASS_EXPORTS(classes)                                                           \
    FZ_COM_SERVER_REGISTRATION_EXPORTS(classes)
