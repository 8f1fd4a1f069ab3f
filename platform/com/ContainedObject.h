#pragma once

#include "platform/com/ComObject.h"

#include <cstdint>

namespace fz::com {

// An object that lives inside another and dies with it (a pin inside its filter). It answers
// QueryInterface for its own interfaces (IUnknown gives its own identity), but AddRef and
// Release count on the containing object: a reference to the contained object keeps the
// container alive, and the container deletes the contained object when it is destroyed.
//
//   class CExamplePin : public ContainedObject<IPin, IMemInputPin> { ... };
//   CExamplePin pin(filter->Owner());   // a member, or owned by the container
//
// `container` is the containing object's owning unknown; it must outlive every use of the
// contained object, which it does while references are held (they are its own).
template <class... Interfaces>
class ContainedObject : public Interfaces... {
    static_assert(sizeof...(Interfaces) > 0, "list at least one interface");

public:
    ContainedObject(const ContainedObject&) = delete;
    ContainedObject& operator=(const ContainedObject&) = delete;

    HRESULT QueryInterface(const IID& iid, void** object) override {
        if (!object)
            return E_POINTER;
        void* found = FindInterface(iid);
        *object = found;
        if (!found)
            return E_NOINTERFACE;
        m_container->AddRef();
        return S_OK;
    }
    std::uint32_t AddRef() override { return m_container->AddRef(); }
    std::uint32_t Release() override { return m_container->Release(); }

    IUnknown* Container() const noexcept { return m_container; }

    IUnknown* Identity() noexcept {
        using First = typename detail::FirstOf<Interfaces...>::Type;
        return static_cast<IUnknown*>(static_cast<First*>(this));
    }

protected:
    explicit ContainedObject(IUnknown* container) noexcept
        : m_container(container) {}
    virtual ~ContainedObject() = default;

    // The interface pointer for `iid`, or null; a class that answers more overrides it and
    // calls this version for the rest.
    virtual void* FindInterface(const IID& iid) noexcept {
        if (iid == IID_IUnknown)
            return Identity();
        void* found = nullptr;
        ((found = found ? found : detail::CastToInterface<Interfaces>(this, iid)), ...);
        return found;
    }

private:
    IUnknown* m_container;
};

} // namespace fz::com
