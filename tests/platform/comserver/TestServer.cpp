// libfztestserver.so: a small in-process server for the COM tests, built from the same pieces
// a real server uses (ComObject, the class table, FZ_COM_SERVER_EXPORTS).

#include "platform/com/ServerModule.h"
#include "tests/platform/comserver/TestInterfaces.h"

#include <atomic>

namespace {

using namespace fz::com;
using namespace fz::test;

class CTestCounter final : public ComObject<ITestCounterEx, ITestLabel> {
public:
    long Increment() override { return ++m_count; }
    long Count() override { return m_count; }
    void Reset() override { m_count = 0; }
    const char* Label() override { return "counter"; }

private:
    std::atomic<long> m_count{0};
};

class CTestLabel final : public ComObject<ITestLabel> {
public:
    const char* Label() override { return "label"; }
};

constexpr ServerClass kClasses[] = {
    ServerClassOf<CTestCounter>(CLSID_TestCounter, kTestCounterName),
    ServerClassOf<CTestLabel>(CLSID_TestLabel, kTestLabelName, ThreadingModel::Apartment),
};

} // namespace

FZ_COM_SERVER_EXPORTS(kClasses)
