#pragma once

#include "platform/com/Guid.h"
#include "platform/com/HResult.h"

// libfztestclient.so: another library that creates the test server's class by its
// identifier, to show that creation does not depend on who asks.

// Creates `clsid` as an ITestCounter, increments it `increments` times and returns the count
// (the object is released before returning).
extern "C" fz::com::HRESULT TestClientCount(const fz::com::CLSID& clsid, int increments,
                                            long* count);
