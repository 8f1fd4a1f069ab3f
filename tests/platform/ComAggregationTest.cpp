#include "platform/com/AggregatableObject.h"
#include "platform/com/ClassFactory.h"
#include "platform/com/ComObject.h"
#include "platform/com/ComPtr.h"
#include "platform/com/ContainedObject.h"
#include "tests/platform/comserver/TestInterfaces.h"

#include <gtest/gtest.h>
#include <vector>

FZ_COM_DEFINE_MODULE()

namespace {

using namespace fz::com;
using namespace fz::test;

// An aggregatable object with one interface of its own.
class CInnerCounter final : public AggregatableObject, public ITestCounter {
public:
    explicit CInnerCounter(IUnknown* outer, bool* destroyed = nullptr)
        : AggregatableObject(outer)
        , m_destroyed(destroyed) {}
    ~CInnerCounter() override {
        if (m_destroyed)
            *m_destroyed = true;
    }

    FZ_COM_DELEGATING_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(const IID& iid, void** object) override {
        if (iid == ITestCounter::kIid)
            return GetInterface(static_cast<ITestCounter*>(this), object);
        return AggregatableObject::NonDelegatingQueryInterface(iid, object);
    }
    long Increment() override { return ++m_count; }
    long Count() override { return m_count; }

private:
    bool* m_destroyed;
    long m_count = 0;
};

// An outer object that aggregates the counter: it hands out ITestCounter as its own.
class COuterLabel final : public ComObject<ITestLabel> {
public:
    explicit COuterLabel(bool* innerDestroyed) {
        CInnerCounter* inner = new CInnerCounter(Identity(), innerDestroyed);
        m_inner.Attach(inner->NonDelegatingUnknown());
    }
    const char* Label() override { return "outer"; }

protected:
    void* FindInterface(const IID& iid) noexcept override {
        if (iid == ITestCounter::kIid) {
            void* counter = nullptr;
            // The inner object adds the reference on us (its owner); the caller of our
            // QueryInterface adds one more, so give this one back.
            if (m_inner->QueryInterface(iid, &counter) == S_OK) {
                Release();
                return counter;
            }
        }
        return ComObject::FindInterface(iid);
    }

private:
    ComPtr<IUnknown> m_inner; // the inner object's non-delegating unknown
};

TEST(ComAggregationTest, AggregatedInterfacesShareTheOuterIdentityAndCount) {
    bool innerDestroyed = false;
    ComPtr<ITestLabel> outer = Adopt<ITestLabel>(new COuterLabel(&innerDestroyed));
    EXPECT_EQ(ThisModule().Objects(), 2);

    ComPtr<ITestCounter> counter;
    ASSERT_EQ(outer.As(&counter), S_OK);
    EXPECT_EQ(counter->Increment(), 1);

    // The inner interface answers for the whole object: its IUnknown is the outer's, and it
    // finds the outer's own interface.
    ComPtr<IUnknown> fromCounter;
    ComPtr<IUnknown> fromOuter;
    ASSERT_EQ(counter.As(&fromCounter), S_OK);
    ASSERT_EQ(outer.As(&fromOuter), S_OK);
    EXPECT_EQ(fromCounter.Get(), fromOuter.Get());
    ComPtr<ITestLabel> labelFromCounter;
    ASSERT_EQ(counter.As(&labelFromCounter), S_OK);
    EXPECT_STREQ(labelFromCounter->Label(), "outer");

    // References taken through the inner interface keep the outer object alive.
    outer.Reset();
    fromOuter.Reset();
    fromCounter.Reset();
    labelFromCounter.Reset();
    EXPECT_FALSE(innerDestroyed);
    EXPECT_EQ(counter->Count(), 1);
    counter.Reset();
    EXPECT_TRUE(innerDestroyed) << "the outer object releases its inner object";
    EXPECT_EQ(ThisModule().Objects(), 0);
}

TEST(ComAggregationTest, StandaloneObjectIsItsOwnOwner) {
    bool destroyed = false;
    auto* object = new CInnerCounter(nullptr, &destroyed);
    EXPECT_EQ(object->Owner(), object->NonDelegatingUnknown());
    ComPtr<ITestCounter> counter;
    ASSERT_EQ(object->NonDelegatingQueryInterface(ITestCounter::kIid, counter.PutVoid()), S_OK);
    object->NonDelegatingRelease(); // the creation reference
    ComPtr<IUnknown> identity;
    ASSERT_EQ(counter.As(&identity), S_OK);
    EXPECT_EQ(identity.Get(), object->NonDelegatingUnknown());
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(counter->QueryInterface(ITestLabel::kIid, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    identity.Reset();
    EXPECT_FALSE(destroyed);
    counter.Reset();
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(ThisModule().Objects(), 0);
}

TEST(ComAggregationTest, CreatorRefusesAnOuterObjectAskingForAnotherInterface) {
    bool innerDestroyed = false;
    ComPtr<ITestLabel> outer = Adopt<ITestLabel>(new COuterLabel(&innerDestroyed));
    ComPtr<IUnknown> outerUnknown;
    ASSERT_EQ(outer.As(&outerUnknown), S_OK);
    const long before = ThisModule().Objects();

    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateAggregatableInstanceOf<CInnerCounter>(outerUnknown.Get(), ITestCounter::kIid,
                                                          &object),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(ThisModule().Objects(), before) << "nothing was made";

    ComPtr<IUnknown> inner;
    ASSERT_EQ(CreateAggregatableInstanceOf<CInnerCounter>(outerUnknown.Get(), IID_IUnknown,
                                                          inner.PutVoid()),
              S_OK);
    ComPtr<ITestCounter> counter;
    ASSERT_EQ(inner.As(&counter), S_OK) << "the non-delegating unknown finds the interface";
    ComPtr<ITestLabel> label;
    EXPECT_EQ(counter.As(&label), S_OK) << "its interface delegates to the outer object";
    counter.Reset();
    label.Reset();
    inner.Reset();
    EXPECT_EQ(ThisModule().Objects(), before);

    ComPtr<ITestCounter> standalone;
    ASSERT_EQ(CreateAggregatableInstanceOf<CInnerCounter>(nullptr, ITestCounter::kIid,
                                                          standalone.PutVoid()),
              S_OK);
    EXPECT_EQ(standalone->Increment(), 1);
}

// A container with two contained parts whose references count on it.
class CPart final : public ContainedObject<ITestCounter> {
public:
    explicit CPart(IUnknown* container)
        : ContainedObject(container) {}
    long Increment() override { return ++m_count; }
    long Count() override { return m_count; }

private:
    long m_count = 0;
};

class CContainer final : public ComObject<ITestLabel> {
public:
    explicit CContainer(bool* destroyed)
        : m_destroyed(destroyed) {
        m_parts.push_back(new CPart(Identity()));
        m_parts.push_back(new CPart(Identity()));
    }
    ~CContainer() override {
        for (CPart* part : m_parts)
            delete part;
        *m_destroyed = true;
    }
    const char* Label() override { return "container"; }
    CPart* Part(int index) { return m_parts[static_cast<std::size_t>(index)]; }

private:
    bool* m_destroyed;
    std::vector<CPart*> m_parts;
};

TEST(ComAggregationTest, ContainedObjectsKeepTheirContainerAlive) {
    bool destroyed = false;
    auto* container = new CContainer(&destroyed);
    ComPtr<ITestCounter> part;
    ASSERT_EQ(container->Part(0)->QueryInterface(ITestCounter::kIid, part.PutVoid()), S_OK);
    container->Release(); // only the part's reference is left
    EXPECT_FALSE(destroyed);

    // Each part is an object of its own identity; it does not answer its container's
    // interfaces.
    ComPtr<IUnknown> partIdentity;
    ASSERT_EQ(part.As(&partIdentity), S_OK);
    ComPtr<IUnknown> otherIdentity;
    ASSERT_EQ(container->Part(1)->QueryInterface(IID_IUnknown, otherIdentity.PutVoid()), S_OK);
    EXPECT_NE(partIdentity.Get(), otherIdentity.Get());
    ComPtr<ITestLabel> label;
    EXPECT_EQ(part.As(&label), E_NOINTERFACE);

    EXPECT_EQ(part->Increment(), 1);
    partIdentity.Reset();
    otherIdentity.Reset();
    EXPECT_FALSE(destroyed);
    part.Reset();
    EXPECT_TRUE(destroyed) << "the last reference to a part releases the container";
    EXPECT_EQ(ThisModule().Objects(), 0);
}

// An object that goes back to a pool on its last Release instead of being deleted.
class CPooled final : public ComObject<ITestCounter> {
public:
    explicit CPooled(std::vector<CPooled*>* pool)
        : m_pool(pool) {}
    long Increment() override { return ++m_count; }
    long Count() override { return m_count; }
    void Destroy() { delete this; }

protected:
    void FinalRelease() override { m_pool->push_back(this); }

private:
    std::vector<CPooled*>* m_pool;
    long m_count = 0;
};

TEST(ComAggregationTest, FinalReleaseHookReturnsAnObjectForReuse) {
    std::vector<CPooled*> pool;
    auto* object = new CPooled(&pool);
    EXPECT_EQ(object->Release(), 0u);
    ASSERT_EQ(pool.size(), 1u) << "the last release pooled it instead of deleting it";
    EXPECT_EQ(ThisModule().Objects(), 1);

    CPooled* reused = pool.back();
    pool.pop_back();
    EXPECT_EQ(reused->AddRef(), 1u) << "handed out again from a count of 0";
    EXPECT_EQ(reused->Increment(), 1);
    reused->AddRef();
    reused->Release();
    EXPECT_TRUE(pool.empty()) << "only the last release returns it";
    reused->Release();
    ASSERT_EQ(pool.size(), 1u);
    pool.back()->Destroy();
    EXPECT_EQ(ThisModule().Objects(), 0);
}

} // namespace
