#include "platform/com/ComRuntime.h"

#include "platform/com/IClassFactory.h"
#include "platform/com/ServerModule.h"
#include "platform/com/ServerRegistration.h"
#include "platform/registry/Registry.h"

#include <algorithm>
#include <dlfcn.h>
#include <mutex>
#include <vector>

namespace fz::com {
namespace {

thread_local int t_initializeCount = 0;

struct LoadedServer {
    void* handle = nullptr;
    DllGetClassObjectFunction getClassObject = nullptr;
};

// The libraries that CoGetClassObject loaded; each stays loaded until the process ends. The
// mutex is never held while a library's code runs.
class ServerTable {
public:
    static ServerTable& Instance() {
        static ServerTable* table = new ServerTable; // lives to the end: libraries stay loaded
        return *table;
    }

    // Finds or loads the library.
    HRESULT Find(const std::string& path, DllGetClassObjectFunction* getClassObject) {
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return CO_E_DLLNOTFOUND;
        std::lock_guard lock(m_mutex);
        auto it = std::find_if(m_servers.begin(), m_servers.end(),
                               [&](const LoadedServer& s) { return s.handle == handle; });
        if (it != m_servers.end()) {
            dlclose(handle); // the table already holds a reference to this library
        } else {
            LoadedServer server;
            server.handle = handle;
            server.getClassObject =
                reinterpret_cast<DllGetClassObjectFunction>(dlsym(handle, "DllGetClassObject"));
            if (!server.getClassObject) {
                dlclose(handle); // never ran any of its code but its constructors
                return CO_E_ERRORINDLL;
            }
            it = m_servers.insert(m_servers.end(), server);
        }
        *getClassObject = it->getClassObject;
        return S_OK;
    }

    std::size_t Count() {
        std::lock_guard lock(m_mutex);
        return m_servers.size();
    }

private:
    std::mutex m_mutex;
    std::vector<LoadedServer> m_servers;
};

} // namespace

HRESULT CoInitialize(void*) {
    return t_initializeCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
    if (t_initializeCount > 0)
        --t_initializeCount;
}

std::string InprocServerPath(const CLSID& clsid) {
    namespace reg = fz::registry;
    reg::Key key;
    if (reg::OpenKey(reg::Hive::ClassesRoot, ClassKeyPath(clsid) + "\\InprocServer32",
                     reg::Access::Read, &key) != reg::kSuccess)
        return {};
    std::uint32_t size = 0;
    reg::ValueType type = reg::ValueType::None;
    if (key.QueryValue("", nullptr, &size, &type) != reg::kSuccess ||
        type != reg::ValueType::String || size <= 1)
        return {};
    std::string path(size, '\0');
    if (key.QueryValue("", path.data(), &size) != reg::kSuccess || size == 0)
        return {};
    path.resize(size - 1);
    return path;
}

HRESULT CoGetClassObject(const CLSID& clsid, std::uint32_t context, void* serverInfo,
                         const IID& iid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (serverInfo)
        return E_INVALIDARG;
    if ((context & CLSCTX_INPROC_SERVER) == 0)
        return REGDB_E_CLASSNOTREG;
    const std::string path = InprocServerPath(clsid);
    if (path.empty())
        return REGDB_E_CLASSNOTREG;
    DllGetClassObjectFunction getClassObject = nullptr;
    if (const HRESULT found = ServerTable::Instance().Find(path, &getClassObject); Failed(found))
        return found;
    const HRESULT result = getClassObject(clsid, iid, object);
    if (Failed(result))
        *object = nullptr;
    return result;
}

HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, std::uint32_t context, const IID& iid,
                         void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    ComPtr<IClassFactory> factory;
    if (const HRESULT found =
            CoGetClassObject(clsid, context, nullptr, IClassFactory::kIid, factory.PutVoid());
        Failed(found))
        return found;
    const HRESULT result = factory->CreateInstance(outer, iid, object);
    if (Failed(result))
        *object = nullptr;
    return result;
}

void CoFreeUnusedLibraries() {}

std::size_t LoadedServerCount() {
    return ServerTable::Instance().Count();
}

} // namespace fz::com
