#pragma once

#include "platform/com/IUnknown.h"
#include "platform/com/ModuleCounts.h"

#include <atomic>
#include <cstdint>
#include <new>

namespace fz::com {

// An object that another object (the outer unknown) may aggregate: the outer object hands
// out this object's interfaces as its own.
//
//   - The object keeps its own reference count and identity in its non-delegating unknown
//     (NonDelegatingUnknown()). Only the creator of the object holds it: the outer object
//     when aggregated, otherwise whoever created it.
//   - Every interface the object implements forwards QueryInterface, AddRef and Release to
//     the owning unknown (Owner()): the outer object when aggregated, else the
//     non-delegating unknown. A derived class declares these three with
//     FZ_COM_DELEGATING_IUNKNOWN.
//   - NonDelegatingQueryInterface answers the object's own interfaces. A derived class
//     overrides it for each interface it adds and calls its base for the rest:
//
//       HRESULT NonDelegatingQueryInterface(const IID& iid, void** object) override {
//           if (iid == IExample::kIid)
//               return GetInterface(static_cast<IExample*>(this), object);
//           return CBase::NonDelegatingQueryInterface(iid, object);
//       }
//
// The object starts with one reference on its non-delegating unknown; the last
// NonDelegatingRelease calls FinalRelease (which deletes it). It counts in its library's
// ModuleCounts while it lives. Counting is thread-safe.
class AggregatableObject {
public:
    AggregatableObject(const AggregatableObject&) = delete;
    AggregatableObject& operator=(const AggregatableObject&) = delete;

    // The unknown that the interfaces forward to (never null).
    IUnknown* Owner() const noexcept { return m_owner; }
    // The object's own IUnknown, its identity; what an outer object keeps.
    IUnknown* NonDelegatingUnknown() noexcept { return &m_inner; }

    // IID_IUnknown gives the non-delegating unknown; anything else E_NOINTERFACE here.
    virtual HRESULT NonDelegatingQueryInterface(const IID& iid, void** object) {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown) {
            *object = &m_inner;
            NonDelegatingAddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    std::uint32_t NonDelegatingAddRef() noexcept {
        return m_references.fetch_add(1, std::memory_order_relaxed) + 1;
    }
    std::uint32_t NonDelegatingRelease() {
        const std::uint32_t left = m_references.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0)
            FinalRelease();
        return left;
    }

protected:
    // `outer` is the aggregating object, or null.
    FZ_COM_LOCAL explicit AggregatableObject(IUnknown* outer) noexcept
        : m_inner(this)
        , m_owner(outer ? outer : &m_inner) {
        ThisModule().ObjectCreated();
    }
    FZ_COM_LOCAL virtual ~AggregatableObject() { ThisModule().ObjectDestroyed(); }

    // Called once the own count has dropped to 0; the default deletes the object.
    virtual void FinalRelease() { delete this; }

private:
    class Inner final : public IUnknown {
    public:
        explicit Inner(AggregatableObject* object) noexcept
            : m_object(object) {}
        HRESULT QueryInterface(const IID& iid, void** object) override {
            return m_object->NonDelegatingQueryInterface(iid, object);
        }
        std::uint32_t AddRef() override { return m_object->NonDelegatingAddRef(); }
        std::uint32_t Release() override { return m_object->NonDelegatingRelease(); }

    private:
        AggregatableObject* m_object;
    };

    Inner m_inner;
    IUnknown* m_owner;
    std::atomic<std::uint32_t> m_references{1};
};

// Hands out an interface from NonDelegatingQueryInterface: stores it and adds one reference
// through it (so on the owning unknown).
template <class I>
HRESULT GetInterface(I* pointer, void** object) {
    if (!object)
        return E_POINTER;
    *object = pointer;
    pointer->AddRef();
    return S_OK;
}

// A creator (ClassFactory.h's CreatorFunction) for an aggregatable class T constructed as
// T(IUnknown* outer). An outer object must ask for IID_IUnknown (CLASS_E_NOAGGREGATION
// otherwise), as aggregation requires.
template <class T>
HRESULT CreateAggregatableInstanceOf(IUnknown* outer, const IID& iid, void** object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (outer && iid != IID_IUnknown)
        return CLASS_E_NOAGGREGATION;
    T* instance = new (std::nothrow) T(outer);
    if (!instance)
        return E_OUTOFMEMORY;
    const HRESULT result = instance->NonDelegatingQueryInterface(iid, object);
    instance->NonDelegatingRelease(); // the query's reference is the caller's
    return result;
}

} // namespace fz::com

// QueryInterface, AddRef and Release of every interface of an AggregatableObject, forwarded
// to its owning unknown. In the class body of each class that adds interfaces.
#define FZ_COM_DELEGATING_IUNKNOWN                                                                 \
    ::fz::com::HRESULT QueryInterface(const ::fz::com::IID& iid, void** object) override {         \
        return Owner()->QueryInterface(iid, object);                                               \
    }                                                                                              \
    std::uint32_t AddRef() override {                                                              \
        return Owner()->AddRef();                                                                  \
    }                                                                                              \
    std::uint32_t Release() override {                                                             \
        return Owner()->Release();                                                                 \
    }
