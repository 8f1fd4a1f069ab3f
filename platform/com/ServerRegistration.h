#pragma once

#include "platform/com/Guid.h"
#include "platform/com/HResult.h"
#include "platform/fs/LibraryPath.h"
#include "platform/registry/Registry.h"

#include <string>
#include <string_view>

namespace fz::com {

// The registry entries of an in-process server class, as DllRegisterServer writes them into
// HKEY_CLASSES_ROOT (which lives in the machine hive, platform/registry/Registry.h):
//
//   CLSID\{clsid}                 default value: the class's friendly name
//   CLSID\{clsid}\InprocServer32  default value: the library's absolute path
//                                 "ThreadingModel": Apartment, Free, Both or Neutral
enum class ThreadingModel { Apartment, Free, Both, Neutral };

std::string_view ThreadingModelName(ThreadingModel model);

// The key path "CLSID\{...}" of a class below HKEY_CLASSES_ROOT.
std::string ClassKeyPath(const CLSID& clsid);

// Writes the entries above as one change of the registry; SELFREG_E_CLASS (and nothing
// written) when the registry cannot be written. An earlier InprocServer32 key of the class is
// replaced; other subkeys of the class key (a server's own, such as a type library reference)
// are kept.
HRESULT RegisterInprocServer(const CLSID& clsid, std::string_view friendlyName,
                             std::string_view libraryPath, ThreadingModel model);

// Removes CLSID\{clsid} with everything below it. A class that is not registered is no
// error; SELFREG_E_CLASS when the registry cannot be written.
HRESULT UnregisterInprocServer(const CLSID& clsid);

// The same as steps of a larger change of HKEY_CLASSES_ROOT, for a server that registers
// several classes or more than its classes (a type library, media filter entries) at once.
void AddInprocServerRegistration(registry::Transaction& change, const CLSID& clsid,
                                 std::string_view friendlyName, std::string_view libraryPath,
                                 ThreadingModel model);
void AddInprocServerRemoval(registry::Transaction& change, const CLSID& clsid);

// The absolute path of the loaded library (or program) that holds `address`
// (platform/fs/LibraryPath.h). A server passes the address of one of its own functions.
using fs::LibraryPathOf;

// The path a server library registers for itself: LibraryPathOf(address), unless the tool
// that registers it said where the library will be installed (SetInstalledServerPath; fzregsvr
// --installed-as), as when a staged tree is registered before it is moved into place.
std::string ServerPathForRegistration(const void* addressInLibrary);
// For fzregsvr: the path to register instead of the loaded one; empty restores the default.
// Affects every registration of the process that follows.
void SetInstalledServerPath(std::string path);

} // namespace fz::com
