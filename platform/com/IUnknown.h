#pragma once

#include "platform/com/Guid.h"
#include "platform/com/HResult.h"

#include <cstdint>

namespace fz::com {

// The root interface of every object. Interfaces are abstract classes with no data and no
// virtual destructor (an object is destroyed by its last Release, never through an interface
// pointer), in the platform's method order, so one compiler's objects can be used through
// them from any library of the process.
//
// Each interface states its identifier and the interface it extends:
//   struct IExample : IUnknown {
//       static constexpr IID kIid = MakeGuid("{...}");
//       using BaseInterface = IUnknown;
//       virtual HRESULT Method() = 0;
//   protected:
//       ~IExample() = default;
//   };
// ComObject (ComObject.h) answers QueryInterface for the interface and every one it extends
// through these two names.
struct IUnknown {
    static constexpr IID kIid = MakeGuid("{00000000-0000-0000-C000-000000000046}");

    // On success stores the interface with one reference added; otherwise stores null and
    // returns E_NOINTERFACE (E_POINTER when `object` is null).
    virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
    // Return the new count, for diagnostics only.
    virtual std::uint32_t AddRef() = 0;
    virtual std::uint32_t Release() = 0;

protected:
    ~IUnknown() = default;
};

inline constexpr IID IID_IUnknown = IUnknown::kIid;

} // namespace fz::com
