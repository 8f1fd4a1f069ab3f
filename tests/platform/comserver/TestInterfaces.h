#pragma once

#include "platform/com/IUnknown.h"

// The interfaces and classes of the test server library (libfztestserver.so), shared by the
// server, the test client library and the tests.
namespace fz::test {

using com::HRESULT;
using com::MakeGuid;

struct ITestCounter : com::IUnknown {
    static constexpr com::IID kIid = MakeGuid("{6A1F0C52-3B7D-4E0A-9C21-5D8E7F6A4B01}");
    using BaseInterface = com::IUnknown;
    virtual long Increment() = 0; // returns the new count
    virtual long Count() = 0;

protected:
    ~ITestCounter() = default;
};

// Extends ITestCounter: QueryInterface for ITestCounter must find it through this one.
struct ITestCounterEx : ITestCounter {
    static constexpr com::IID kIid = MakeGuid("{6A1F0C52-3B7D-4E0A-9C21-5D8E7F6A4B02}");
    using BaseInterface = ITestCounter;
    virtual void Reset() = 0;

protected:
    ~ITestCounterEx() = default;
};

struct ITestLabel : com::IUnknown {
    static constexpr com::IID kIid = MakeGuid("{6A1F0C52-3B7D-4E0A-9C21-5D8E7F6A4B03}");
    using BaseInterface = com::IUnknown;
    virtual const char* Label() = 0;

protected:
    ~ITestLabel() = default;
};

// Implements ITestCounterEx and ITestLabel.
inline constexpr com::CLSID CLSID_TestCounter = MakeGuid("{6A1F0C52-3B7D-4E0A-9C21-5D8E7F6A4B10}");
// Implements ITestLabel only; registered with the Apartment threading model.
inline constexpr com::CLSID CLSID_TestLabel = MakeGuid("{6A1F0C52-3B7D-4E0A-9C21-5D8E7F6A4B11}");
// Not offered by the server.
inline constexpr com::CLSID CLSID_TestMissing = MakeGuid("{6A1F0C52-3B7D-4E0A-9C21-5D8E7F6A4B1F}");

inline constexpr const char* kTestCounterName = "framzel test counter";
inline constexpr const char* kTestLabelName = "framzel test label";

} // namespace fz::test
