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
    DllCanUnloadNowFunction canUnloadNow = nullptr;
    int callsInProgress = 0; // DllGetClassObject calls that have not returned yet
};

// The libraries that CoGetClassObject loaded. The mutex is never held while a library's code
// runs except for DllCanUnloadNow, which only reads its counts.
class ServerTable {
public:
    static ServerTable& Instance() {
        static ServerTable* table = new ServerTable; // lives to the end: libraries stay loaded
        return *table;
    }

    // Finds or loads the library and marks a DllGetClassObject call as in progress.
    HRESULT Enter(const std::string& path, DllGetClassObjectFunction* getClassObject,
                  void** handleOut) {
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
            server.canUnloadNow =
                reinterpret_cast<DllCanUnloadNowFunction>(dlsym(handle, "DllCanUnloadNow"));
            if (!server.getClassObject) {
                dlclose(handle);
                return CO_E_ERRORINDLL;
            }
            it = m_servers.insert(m_servers.end(), server);
        }
        ++it->callsInProgress;
        *getClassObject = it->getClassObject;
        *handleOut = it->handle;
        return S_OK;
    }

    void Leave(void* handle) {
        std::lock_guard lock(m_mutex);
        for (LoadedServer& server : m_servers)
            if (server.handle == handle)
                --server.callsInProgress;
    }

    void FreeUnused() {
        std::vector<void*> unload;
        {
            std::lock_guard lock(m_mutex);
            // A library that says S_OK has no objects and no locks, and no new object can come
            // from it without passing through this table, so it is removed under the lock.
            std::erase_if(m_servers, [&](const LoadedServer& server) {
                if (server.callsInProgress > 0 || !server.canUnloadNow ||
                    server.canUnloadNow() != S_OK)
                    return false;
                unload.push_back(server.handle);
                return true;
            });
        }
        for (void* handle : unload)
            dlclose(handle);
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
    void* handle = nullptr;
    if (const HRESULT entered = ServerTable::Instance().Enter(path, &getClassObject, &handle);
        Failed(entered))
        return entered;
    const HRESULT result = getClassObject(clsid, iid, object);
    ServerTable::Instance().Leave(handle);
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

void CoFreeUnusedLibraries() {
    ServerTable::Instance().FreeUnused();
}

std::size_t LoadedServerCount() {
    return ServerTable::Instance().Count();
}

} // namespace fz::com
