#include "platform/com/ComObject.h"
#include "platform/com/ClassFactory.h"
#include "platform/com/ComPtr.h"
#include "tests/platform/comserver/TestInterfaces.h"

#include <gtest/gtest.h>

// Objects made in this test program count in the program's own module.
FZ_COM_DEFINE_MODULE()

namespace {

using namespace fz::com;
using namespace fz::test;

class CLocalCounter final : public ComObject<ITestCounterEx, ITestLabel> {
public:
    explicit CLocalCounter(bool* destroyed = nullptr)
        : m_destroyed(destroyed) {}
    ~CLocalCounter() override {
        if (m_destroyed)
            *m_destroyed = true;
    }
    long Increment() override { return ++m_count; }
    long Count() override { return m_count; }
    void Reset() override { m_count = 0; }
    const char* Label() override { return "local"; }

private:
    bool* m_destroyed;
    long m_count = 0;
};

TEST(ComObjectTest, QueryInterfaceFindsListedAndExtendedInterfaces) {
    bool destroyed = false;
    ComPtr<ITestCounterEx> counter = Adopt<ITestCounterEx>(new CLocalCounter(&destroyed));
    EXPECT_EQ(ThisModule().Objects(), 1);

    ComPtr<ITestCounter> base;
    ASSERT_EQ(counter.As(&base), S_OK) << "an interface the listed one extends";
    EXPECT_EQ(base->Increment(), 1);
    ComPtr<ITestLabel> label;
    ASSERT_EQ(base.As(&label), S_OK);
    EXPECT_STREQ(label->Label(), "local");

    // One identity: IUnknown from any interface is the same pointer.
    ComPtr<IUnknown> fromCounter;
    ComPtr<IUnknown> fromLabel;
    ASSERT_EQ(counter.As(&fromCounter), S_OK);
    ASSERT_EQ(label.As(&fromLabel), S_OK);
    EXPECT_EQ(fromCounter.Get(), fromLabel.Get());

    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(counter->QueryInterface(IClassFactory::kIid, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(counter->QueryInterface(ITestLabel::kIid, nullptr), E_POINTER);

    base.Reset();
    label.Reset();
    fromCounter.Reset();
    fromLabel.Reset();
    EXPECT_FALSE(destroyed);
    counter.Reset();
    EXPECT_TRUE(destroyed) << "the last Release deletes";
    EXPECT_EQ(ThisModule().Objects(), 0);
}

TEST(ComObjectTest, ComPtrCountsReferences) {
    auto* raw = new CLocalCounter;
    ITestCounter* interfacePointer = raw;
    ComPtr<ITestCounter> first;
    first.Attach(interfacePointer); // takes over the creation reference
    EXPECT_EQ(raw->AddRef(), 2u);
    EXPECT_EQ(raw->Release(), 1u);
    {
        ComPtr<ITestCounter> copy = first;
        EXPECT_EQ(raw->AddRef(), 3u);
        raw->Release();
        ComPtr<ITestCounter> moved = std::move(copy);
        EXPECT_FALSE(copy);
        EXPECT_EQ(moved, first);
        ComPtr<ITestCounter> fromRaw(interfacePointer);
        EXPECT_EQ(raw->AddRef(), 4u);
        raw->Release();
    }
    EXPECT_EQ(raw->AddRef(), 2u);
    raw->Release();

    ITestCounter* out = nullptr;
    ASSERT_EQ(first.CopyTo(&out), S_OK);
    EXPECT_EQ(out, interfacePointer);
    EXPECT_EQ(out->Release(), 1u);
    EXPECT_EQ(first.CopyTo(nullptr), E_POINTER);

    ITestCounter* detached = first.Detach();
    EXPECT_FALSE(first);
    EXPECT_EQ(first, nullptr);
    EXPECT_EQ(detached->Release(), 0u);
    EXPECT_EQ(ThisModule().Objects(), 0);

    ComPtr<ITestLabel> nothing;
    ComPtr<ITestCounter> target;
    EXPECT_EQ(nothing.As(&target), E_POINTER);
}

TEST(ComObjectTest, ClassFactoryCreatesRefusesAggregationAndLocks) {
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(
        (GetClassFactory<&CreateInstanceOf<CLocalCounter>>(IClassFactory::kIid, factory.PutVoid())),
        S_OK);
    EXPECT_EQ(ThisModule().Objects(), 1) << "a factory counts as an object";

    ComPtr<ITestLabel> label;
    ASSERT_EQ(factory->CreateInstance(nullptr, ITestLabel::kIid, label.PutVoid()), S_OK);
    EXPECT_STREQ(label->Label(), "local");
    EXPECT_EQ(ThisModule().Objects(), 2);

    ComPtr<ITestLabel> aggregated;
    EXPECT_EQ(factory->CreateInstance(label.Get(), ITestLabel::kIid, aggregated.PutVoid()),
              CLASS_E_NOAGGREGATION);
    EXPECT_FALSE(aggregated);
    void* wrong = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IClassFactory::kIid, &wrong), E_NOINTERFACE);
    EXPECT_EQ(wrong, nullptr);
    EXPECT_EQ(ThisModule().Objects(), 2) << "a refused query deletes the new object";

    EXPECT_EQ(factory->LockServer(true), S_OK);
    EXPECT_EQ(ThisModule().Locks(), 1);
    EXPECT_FALSE(ThisModule().CanUnload());
    EXPECT_EQ(factory->LockServer(false), S_OK);
    label.Reset();
    factory.Reset();
    EXPECT_TRUE(ThisModule().CanUnload());
}

} // namespace
