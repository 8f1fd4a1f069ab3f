#pragma once

#include "platform/com/IUnknown.h"

namespace fz::com {

// Creates the objects of one class; a server library hands one out from DllGetClassObject.
struct IClassFactory : IUnknown {
    static constexpr IID kIid = MakeGuid("{00000001-0000-0000-C000-000000000046}");
    using BaseInterface = IUnknown;

    // A new object, asked for `iid`. `outer` is the controlling object when aggregating;
    // classes that cannot be aggregated return CLASS_E_NOAGGREGATION for a non-null one.
    virtual HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) = 0;
    // Keeps the server library loaded while locked (counted, as DllCanUnloadNow sees it).
    virtual HRESULT LockServer(bool lock) = 0;

protected:
    ~IClassFactory() = default;
};

inline constexpr IID IID_IClassFactory = IClassFactory::kIid;

} // namespace fz::com
