// CreateManager against a helper library that answers as the test says.

#include <gtest/gtest.h>

#include "datastore/CreateManager.h"

namespace {

// An instance that counts its references; a manager when asked to be one.
class CountedInstance : public NSVumoUtil::IHLPKELOInstance {
  public:
    ULONG Release() override { return --references; }
    ULONG AddRef() override { return ++references; }
    ULONG references = 1;
};

class CountedManager : public NSVumoUtil::IHLPKELOManager {
  public:
    ULONG Release() override { return --references; }
    ULONG AddRef() override { return ++references; }
    HRESULT CreateObject(const OLECHAR*, IUnknown**) override { return E_NOTIMPL; }
    ULONG references = 1;
};

long answer = 0;
NSVumoUtil::IHLPKELOInstance* handedOut = nullptr;

}  // namespace

long NSVumoUtil::CreateHLPObject(unsigned long kind, unsigned long version,
                                 IHLPKELOInstance** instance) {
    EXPECT_EQ(kind, 1u);
    EXPECT_EQ(version, 1u);
    *instance = handedOut;
    return answer;
}

TEST(CreateManagerTest, KeepsTheManagerWithItsOwnReference) {
    CountedManager manager;
    answer = 0;
    handedOut = &manager;
    {
        ManagerHolder holder;
        EXPECT_EQ(CreateManager(holder), 0);
        EXPECT_EQ(holder.Get(), &manager);
        // The instance's reference was dropped, the holder's is the one left.
        EXPECT_EQ(manager.references, 1u);
    }
    EXPECT_EQ(manager.references, 0u);
}

TEST(CreateManagerTest, ReturnsANegativeStatusUnchanged) {
    for (const long status : {-1L, static_cast<long>(static_cast<HRESULT>(0x80070002u))}) {
        answer = status;
        handedOut = nullptr;
        ManagerHolder holder;
        EXPECT_EQ(CreateManager(holder), status);
        EXPECT_FALSE(holder);
    }
}

TEST(CreateManagerTest, AnInstanceThatIsNoManagerIsReleased) {
    CountedInstance instance;
    answer = 0;
    handedOut = &instance;
    ManagerHolder holder;
    EXPECT_EQ(CreateManager(holder), kInstanceIsNoManager);
    EXPECT_NE(kInstanceIsNoManager, 0);
    EXPECT_FALSE(holder);
    EXPECT_EQ(instance.references, 0u);
}

TEST(CreateManagerTest, SuccessWithoutAnInstanceIsAFailure) {
    for (const long status : {0L, 1L}) {
        answer = status;
        handedOut = nullptr;
        ManagerHolder holder;
        EXPECT_EQ(CreateManager(holder), kInstanceIsNoManager);
        EXPECT_FALSE(holder);
    }
}
