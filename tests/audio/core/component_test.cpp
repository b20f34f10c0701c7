#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#if defined(__x86_64__)
#include <cpuid.h>
#endif

#include "audio/core/component.h"
#include "audio/core/converter.h"
#include "audio/core/thread.h"
#include "support/empty_input.h"

using namespace sonfeld;

namespace {

#if defined(__x86_64__)
// Whether XGETBV with ECX = 1 tells which register states are in use.
bool CanSeeVectorState()
{
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(1, &a, &b, &c, &d) == 0 || (c & bit_OSXSAVE) == 0 || (c & bit_AVX) == 0 ||
        __get_cpuid_max(0, nullptr) < 0xD)
        return false;
    __cpuid_count(0xD, 1, a, b, c, d);
    return (a & (1u << 2)) != 0;
}

// Bit 2 of the in-use mask: the AVX registers' upper halves hold data.
bool UpperHalvesInUse()
{
    unsigned low = 0;
    unsigned high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(1));
    return (low & 4u) != 0;
}

// What a library using 256-bit registers leaves behind.
void DirtyUpperHalves()
{
    static const float one = 1.0f;
    __asm__ volatile("vbroadcastss %0, %%ymm7" : : "m"(one) : "xmm7");
}

class TVectorProbe final : public TThread {
public:
    // Suspended: the body must not call Execute() before this object is whole.
    TVectorProbe() : TThread(true) {}
    std::atomic<bool> dirtyAtStart{true};

protected:
    void Execute() override { dirtyAtStart.store(UpperHalvesInUse()); }
};
#endif

class TWatcher : public TComponent {
public:
    using TComponent::TComponent;
    std::vector<TComponent*> removed;

protected:
    void Notification(TComponent* component, TOperation operation) override
    {
        if (operation == TOperation::opRemove)
            removed.push_back(component);
    }
};

class TPassThrough final : public sonfeld::test::TEmptyInput<TACSConverter> {
public:
    bool Locked() const { return InputLock.Held(); }
    void Lock() { InputLock.lock(); }
};

class TCountingThread final : public TThread {
public:
    TCountingThread() : TThread(true) {}
    std::atomic<int> rounds{0};
    std::atomic<bool> stop{false};

protected:
    void Execute() override
    {
        while (!stop) {
            ++rounds;
            Suspend();
        }
    }
};

} // namespace

TEST(Component, OwnerDestroysItsComponentsAndSiblingsAreToldOfRemovals)
{
    auto* owner = new TComponent;
    auto* watcher = new TWatcher(owner);
    auto* other = new TComponent(owner);
    other->SetName("ReadCDIn");
    EXPECT_EQ(other->Name(), "ReadCDIn");
    EXPECT_EQ(other->Owner(), owner);
    // Compared as an address: the component is gone by then.
    const auto address = reinterpret_cast<std::uintptr_t>(other);
    delete other;
    ASSERT_EQ(watcher->removed.size(), 1u);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(watcher->removed[0]), address);
    delete owner; // destroys the watcher too; a leak would show under the sanitizers
}

TEST(Component, FreeNotificationReachesComponentsOfOtherOwners)
{
    TWatcher watcher;
    auto* watched = new TComponent;
    watched->FreeNotification(&watcher);
    delete watched;
    ASSERT_EQ(watcher.removed.size(), 1u);
    // A watcher destroyed first unsubscribes itself.
    TComponent target;
    {
        TWatcher shortLived;
        target.FreeNotification(&shortLived);
    }
}

TEST(Converter, SettingItselfAsInputChangesNothingAndUnlockWalksTheChain)
{
    TPassThrough first;
    TPassThrough second;
    first.SetInput(&first);
    EXPECT_EQ(first.Input(), nullptr);
    first.SetInput(&second);
    EXPECT_EQ(first.Input(), &second);
    first.SetInput(&first);
    EXPECT_EQ(first.Input(), &second);
    first.Lock();
    second.Lock();
    first.UnlockInputs();
    EXPECT_FALSE(first.Locked());
    EXPECT_FALSE(second.Locked());
}

TEST(Thread, CreatedSuspendedResumedAndSuspendingItself)
{
    TCountingThread thread;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(thread.rounds, 0);
    EXPECT_TRUE(thread.Suspended());
    thread.Resume();
    while (!(thread.rounds == 1 && thread.Suspended()))
        std::this_thread::yield();
    thread.Resume();
    while (!(thread.rounds == 2 && thread.Suspended()))
        std::this_thread::yield();
    thread.stop = true;
    thread.Resume();
    const auto finished = thread.FinishedFlag();
    TThread::WaitFinished(finished);
    EXPECT_TRUE(thread.Finished());
    EXPECT_EQ(thread.rounds, 2);
}

TEST(Thread, StartsWithTheVectorRegistersUpperHalvesUnused)
{
#if defined(__x86_64__)
    if (!CanSeeVectorState())
        GTEST_SKIP() << "the CPU cannot tell the vector registers' state";
    DirtyUpperHalves();
    ASSERT_TRUE(UpperHalvesInUse());
    auto* probe = new TVectorProbe;
    const auto finished = probe->FinishedFlag();
    probe->Resume();
    TThread::WaitFinished(finished);
    EXPECT_FALSE(probe->dirtyAtStart.load());
    delete probe;
#else
    GTEST_SKIP() << "only x86 has the AVX state";
#endif
}
