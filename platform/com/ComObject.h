#pragma once

#include "platform/com/IUnknown.h"
#include "platform/com/ModuleCounts.h"

#include <atomic>
#include <concepts>
#include <type_traits>

namespace fz::com {

namespace detail {

template <class I>
concept ExtendsAnInterface = requires {
    typename I::BaseInterface;
};

// The interface `iid` names when it is I or one I extends, as a pointer into `self`.
template <class I, class Self>
void* CastToInterface(Self* self, const IID& iid) noexcept {
    I* pointer = static_cast<I*>(self);
    if (iid == I::kIid)
        return pointer;
    if constexpr (ExtendsAnInterface<I>) {
        using Base = typename I::BaseInterface;
        static_assert(std::is_base_of_v<Base, I>, "BaseInterface must be a base of the interface");
        static_assert(Base::kIid != I::kIid, "the interface needs a kIid of its own");
        return CastToInterface<Base>(pointer, iid);
    }
    return nullptr;
}

template <class First, class...>
struct FirstOf {
    using Type = First;
};

} // namespace detail

// A reference-counted object that implements the listed interfaces:
//
//   class CExample final : public ComObject<IExample, IOther> {
//   public:
//       HRESULT Method() override;  ...
//   };
//
// QueryInterface answers IUnknown (always the same pointer, the object's identity), each
// listed interface and every interface they extend. An object starts with one reference,
// owned by its creator (Adopt, or CreateInstanceOf in ClassFactory.h); the last Release
// deletes it. While it lives it counts in its library's ModuleCounts, so DllCanUnloadNow
// keeps the library loaded. Reference counting is thread-safe. Aggregatable objects derive
// from AggregatableObject (AggregatableObject.h) instead; objects whose lifetime is another
// object's (a pin inside its filter) from ContainedObject (ContainedObject.h).
//
// The last Release calls FinalRelease, which deletes the object. A class that keeps its
// objects for reuse (a media sample that goes back to its allocator's pool) overrides it;
// such an object rests with a count of 0 and is handed out again with AddRef.
template <class... Interfaces>
class ComObject : public Interfaces... {
    static_assert(sizeof...(Interfaces) > 0, "list at least one interface");
    static_assert((std::is_base_of_v<IUnknown, Interfaces> && ...),
                  "every interface extends IUnknown");

public:
    FZ_COM_LOCAL ComObject() noexcept { ThisModule().ObjectCreated(); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT QueryInterface(const IID& iid, void** object) override {
        if (!object)
            return E_POINTER;
        void* found = FindInterface(iid);
        *object = found;
        if (!found)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }

    std::uint32_t AddRef() override {
        return m_references.fetch_add(1, std::memory_order_relaxed) + 1;
    }

    std::uint32_t Release() override {
        const std::uint32_t left = m_references.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0)
            FinalRelease();
        return left;
    }

    // The object's identity: the IUnknown that QueryInterface(IID_IUnknown) gives.
    IUnknown* Identity() noexcept {
        using First = typename detail::FirstOf<Interfaces...>::Type;
        return static_cast<IUnknown*>(static_cast<First*>(this));
    }

protected:
    FZ_COM_LOCAL virtual ~ComObject() { ThisModule().ObjectDestroyed(); }

    // Called once the count has dropped to 0, on the thread of that Release. The default
    // deletes the object.
    virtual void FinalRelease() { delete this; }

    // The interface pointer for `iid`, or null. A class that answers more (interfaces of a
    // member object, say) overrides this and calls the base version for the rest.
    virtual void* FindInterface(const IID& iid) noexcept {
        if (iid == IID_IUnknown)
            return Identity();
        void* found = nullptr;
        ((found = found ? found : detail::CastToInterface<Interfaces>(this, iid)), ...);
        return found;
    }

private:
    std::atomic<std::uint32_t> m_references{1};
};

} // namespace fz::com
