#pragma once

#include "platform/com/IUnknown.h"

#include <concepts>
#include <cstddef>
#include <utility>

namespace fz::com {

// Owns one reference to an interface. Copying adds a reference, moving hands it over,
// destruction and Reset release it.
//
//   ComPtr<IExample> example;
//   HRESULT hr = CoCreateInstance(CLSID_Example, nullptr, CLSCTX_INPROC_SERVER,
//                                 IExample::kIid, example.PutVoid());
//   ComPtr<IOther> other;
//   hr = example.As(&other);
template <class T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    // Adds a reference: the caller keeps its own. Use Attach to take one over.
    explicit ComPtr(T* pointer) noexcept
        : m_pointer(pointer) {
        AddRefIfAny();
    }
    ComPtr(const ComPtr& other) noexcept
        : m_pointer(other.m_pointer) {
        AddRefIfAny();
    }
    ComPtr(ComPtr&& other) noexcept
        : m_pointer(std::exchange(other.m_pointer, nullptr)) {}
    template <class U>
    requires std::convertible_to<U*, T*> ComPtr(const ComPtr<U>& other)
    noexcept
        : m_pointer(other.Get()) {
        AddRefIfAny();
    }
    ~ComPtr() { Reset(); }

    ComPtr& operator=(const ComPtr& other) noexcept {
        ComPtr(other).Swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept {
        ComPtr(std::move(other)).Swap(*this);
        return *this;
    }
    ComPtr& operator=(std::nullptr_t) noexcept {
        Reset();
        return *this;
    }

    T* Get() const noexcept { return m_pointer; }
    T* operator->() const noexcept { return m_pointer; }
    T& operator*() const noexcept { return *m_pointer; }
    explicit operator bool() const noexcept { return m_pointer != nullptr; }

    // Releases what is held and gives the address to fill with a new reference.
    T** ReleaseAndGetAddressOf() noexcept {
        Reset();
        return &m_pointer;
    }
    // The same address as void**, for QueryInterface, CoCreateInstance and class factories.
    void** PutVoid() noexcept { return reinterpret_cast<void**>(ReleaseAndGetAddressOf()); }

    // Takes over a reference the caller owned (no AddRef); gives one up (no Release).
    void Attach(T* pointer) noexcept {
        Reset();
        m_pointer = pointer;
    }
    [[nodiscard]] T* Detach() noexcept { return std::exchange(m_pointer, nullptr); }

    void Reset() noexcept {
        if (T* old = std::exchange(m_pointer, nullptr))
            old->Release();
    }
    void Swap(ComPtr& other) noexcept { std::swap(m_pointer, other.m_pointer); }

    // Another interface of the same object, through QueryInterface.
    template <class U>
    HRESULT As(ComPtr<U>* other) const noexcept {
        if (!other)
            return E_POINTER;
        if (!m_pointer) {
            other->Reset();
            return E_POINTER;
        }
        return m_pointer->QueryInterface(U::kIid, other->PutVoid());
    }

    // Stores a new reference for the caller (an out-parameter); E_POINTER when it is null.
    HRESULT CopyTo(T** out) const noexcept {
        if (!out)
            return E_POINTER;
        *out = m_pointer;
        AddRefIfAny();
        return S_OK;
    }

    friend bool operator==(const ComPtr& a, const ComPtr& b) noexcept {
        return a.m_pointer == b.m_pointer;
    }
    friend bool operator==(const ComPtr& a, std::nullptr_t) noexcept { return !a.m_pointer; }

private:
    void AddRefIfAny() const noexcept {
        if (m_pointer)
            m_pointer->AddRef();
    }

    T* m_pointer = nullptr;
};

// Takes over a reference the caller owns, e.g. a new object: ComPtr p = Adopt(new CThing).
template <class T>
ComPtr<T> Adopt(T* pointer) noexcept {
    ComPtr<T> owner;
    owner.Attach(pointer);
    return owner;
}

} // namespace fz::com
