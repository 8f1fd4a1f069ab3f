#include "tests/platform/comserver/TestClient.h"

#include "platform/com/ComRuntime.h"
#include "tests/platform/comserver/TestInterfaces.h"

extern "C" fz::com::HRESULT TestClientCount(const fz::com::CLSID& clsid, int increments,
                                            long* count) {
    using namespace fz::com;
    ComPtr<fz::test::ITestCounter> counter;
    const HRESULT result = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, &counter);
    if (Failed(result))
        return result;
    for (int i = 0; i < increments; ++i)
        counter->Increment();
    *count = counter->Count();
    return S_OK;
}
