#pragma once

#include "platform/com/ComPtr.h"
#include "platform/com/Guid.h"
#include "platform/com/HResult.h"
#include "platform/com/IUnknown.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace fz::com {

// Creation contexts. Only in-process servers exist here; a request without
// CLSCTX_INPROC_SERVER finds no server (REGDB_E_CLASSNOTREG).
inline constexpr std::uint32_t CLSCTX_INPROC_SERVER = 0x1;
inline constexpr std::uint32_t CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr std::uint32_t CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr std::uint32_t CLSCTX_REMOTE_SERVER = 0x10;
inline constexpr std::uint32_t CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
inline constexpr std::uint32_t CLSCTX_ALL =
    CLSCTX_INPROC | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

// Per-thread counters: the first call on a thread gives S_OK, later ones S_FALSE; each needs
// a CoUninitialize. There are no apartments; creation works on any thread, also without
// CoInitialize (the engine's code calls them, as it would on the original platform).
HRESULT CoInitialize(void* reserved = nullptr);
void CoUninitialize();

// The class factory (or another interface of the class object) of a registered class:
//  1. HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32's default value names the library;
//     a missing key or an empty value is REGDB_E_CLASSNOTREG;
//  2. the library is loaded with dlopen unless already loaded (CO_E_DLLNOTFOUND when it
//     cannot be; CO_E_ERRORINDLL when it has no DllGetClassObject);
//  3. its DllGetClassObject is asked (CLASS_E_CLASSNOTAVAILABLE when it does not know the
//     class).
// Loaded libraries stay loaded until the process ends (see CoFreeUnusedLibraries).
// `serverInfo` must be null (there are no remote servers).
HRESULT CoGetClassObject(const CLSID& clsid, std::uint32_t context, void* serverInfo,
                         const IID& iid, void** object);

// CoGetClassObject for IClassFactory, then CreateInstance(outer, iid) and the factory's
// release. `object` receives null on failure.
HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, std::uint32_t context, const IID& iid,
                         void** object);

template <class T>
HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, std::uint32_t context,
                         ComPtr<T>* object) {
    if (!object)
        return E_POINTER;
    return CoCreateInstance(clsid, outer, context, T::kIid, object->PutVoid());
}

// Releases nothing: in-process server libraries stay loaded for the life of the process, so
// this call (which the engine's code makes, as it would on the original platform) is safe at
// any time from any thread. Unloading cannot be made safe: when an object's last Release has
// brought its library's counts to 0 and DllCanUnloadNow says S_OK, the releasing thread is
// still running the library's code on its way back (the destructor's and Release's ends), and
// a server may have threads of its own winding down; no count tells when they have left, and
// unmapping the code under them would crash the process. A process loads a handful of server
// libraries once, and an idle one costs nothing worth unloading for. DllCanUnloadNow stays
// meaningful for tools and tests that ask it.
void CoFreeUnusedLibraries();

// The library registered for a class (InprocServer32's default value), or empty.
std::string InprocServerPath(const CLSID& clsid);

// How many server libraries CoGetClassObject holds loaded (for tests and diagnostics).
std::size_t LoadedServerCount();

} // namespace fz::com
