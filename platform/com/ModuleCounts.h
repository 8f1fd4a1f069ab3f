#pragma once

#include <atomic>

// Symbols that every library binds to its own copy. ComObject's constructor and destructor
// are inline templates; were they exported, the dynamic linker would let every library use
// the first loaded library's copy (ComObject<IClassFactory> is the same in all servers), and
// each library's objects would be counted in that one library's ModuleCounts.
#define FZ_COM_LOCAL [[gnu::visibility("hidden")]]
// The entry points of a server library stay visible even when it is built with hidden
// visibility.
#define FZ_COM_EXPORT [[gnu::visibility("default")]]

namespace fz::com {

// The live objects and the server locks (IClassFactory::LockServer) of one library; its
// DllCanUnloadNow says S_OK only when both are 0. Any thread may change them.
class ModuleCounts {
public:
    void ObjectCreated() noexcept { m_objects.fetch_add(1, std::memory_order_relaxed); }
    void ObjectDestroyed() noexcept { m_objects.fetch_sub(1, std::memory_order_acq_rel); }
    void Lock() noexcept { m_locks.fetch_add(1, std::memory_order_relaxed); }
    void Unlock() noexcept { m_locks.fetch_sub(1, std::memory_order_acq_rel); }

    long Objects() const noexcept { return m_objects.load(std::memory_order_acquire); }
    long Locks() const noexcept { return m_locks.load(std::memory_order_acquire); }
    bool CanUnload() const noexcept { return Objects() == 0 && Locks() == 0; }

private:
    std::atomic<long> m_objects{0};
    std::atomic<long> m_locks{0};
};

// The counts of the library (or program) the calling code is linked into. Every library or
// program that defines COM objects defines it once, with FZ_COM_DEFINE_MODULE() or through
// FZ_COM_SERVER_EXPORTS (ServerModule.h); fzplatform defines its own.
FZ_COM_LOCAL ModuleCounts& ThisModule();

} // namespace fz::com

// At global scope, in one source file of the library or program.
#define FZ_COM_DEFINE_MODULE()                                                                     \
    FZ_COM_LOCAL ::fz::com::ModuleCounts& ::fz::com::ThisModule() {                                \
        static ::fz::com::ModuleCounts counts;                                                     \
        return counts;                                                                             \
    }
