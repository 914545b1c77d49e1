#include "Foundation/CountedHandle.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <vector>

using Vorlix::CountedHandle;

namespace {

struct Tracked {
    explicit Tracked(int& liveCount) : live(liveCount) { ++live; }
    virtual ~Tracked() noexcept(false) { --live; }
    int& live;
};

struct Throwing : Tracked {
    using Tracked::Tracked;
    ~Throwing() noexcept(false) override { throw std::runtime_error("destructor"); }
};

} // namespace

TEST(CountedHandle, NullPointerGivesEmptyHandle)
{
    CountedHandle<Tracked> empty(nullptr);
    EXPECT_TRUE(empty.isNull());
    EXPECT_EQ(empty.useCount(), 0);
    empty.reset();
    empty.destroyNow();
    EXPECT_TRUE(empty.isNull());
    CountedHandle<Tracked> defaulted;
    EXPECT_TRUE(defaulted.isNull());
}

TEST(CountedHandle, LastReleaseDeletes)
{
    int live = 0;
    {
        CountedHandle<Tracked> a(new Tracked(live));
        CountedHandle<Tracked> b = a;
        const CountedHandle<Tracked>& same = a;
        a = same; // self-assignment changes nothing
        EXPECT_EQ(a.useCount(), 2);
        a.reset();
        EXPECT_TRUE(a.isNull());
        EXPECT_EQ(live, 1);
        EXPECT_EQ(b.useCount(), 1);
    }
    EXPECT_EQ(live, 0);
}

TEST(CountedHandle, DestroyNowNullsEveryOtherHandle)
{
    int live = 0;
    CountedHandle<Tracked> a(new Tracked(live));
    CountedHandle<Tracked> b = a;
    CountedHandle<Tracked> c = a;
    EXPECT_EQ(a.useCount(), 3);
    a.destroyNow();
    EXPECT_EQ(live, 0);
    EXPECT_TRUE(a.isNull());
    EXPECT_TRUE(b.isNull());
    EXPECT_TRUE(c.isNull());
    EXPECT_EQ(b.useCount(), -2);
    EXPECT_EQ(b.get(), nullptr);

    // A copy of a destroyed handle reads as null and counts one more holder downwards.
    CountedHandle<Tracked> d = b;
    EXPECT_TRUE(d.isNull());
    EXPECT_EQ(b.useCount(), -3);

    b.destroyNow(); // on a destroyed object this only lets go
    c.reset();
    EXPECT_EQ(d.useCount(), -1);
    d.reset();
    EXPECT_EQ(live, 0);
}

TEST(CountedHandle, DestroyNowOnSoleHolderDeletes)
{
    int live = 0;
    CountedHandle<Tracked> a(new Tracked(live));
    a.destroyNow();
    EXPECT_EQ(live, 0);
    EXPECT_TRUE(a.isNull());
}

TEST(CountedHandle, EqualsComparesObjects)
{
    int live = 0;
    CountedHandle<Tracked> a(new Tracked(live));
    CountedHandle<Tracked> b(new Tracked(live));
    CountedHandle<Tracked> a2 = a;
    EXPECT_TRUE(a.equals(a2));
    EXPECT_FALSE(a.equals(b));
}

TEST(CountedHandle, ThrowingDestructorIsSwallowed)
{
    int live = 0;
    CountedHandle<Tracked> a(new Throwing(live));
    CountedHandle<Tracked> b = a;
    EXPECT_NO_THROW(a.destroyNow());
    EXPECT_TRUE(b.isNull());
}

TEST(CountedHandle, ConvertsToBaseSharingTheCounter)
{
    int live = 0;
    CountedHandle<Throwing> derived(new Throwing(live));
    CountedHandle<Tracked> base = derived;
    EXPECT_EQ(derived.useCount(), 2);
    EXPECT_TRUE(base.equals(CountedHandle<Tracked>(derived)));
    base.destroyNow();
    EXPECT_TRUE(derived.isNull());
}

TEST(CountedHandle, ConcurrentCopiesAndReleasesKeepTheCount)
{
    int live = 0;
    CountedHandle<Tracked> root(new Tracked(live));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&root] {
            for (int i = 0; i < 20000; ++i) {
                CountedHandle<Tracked> copy = root;
                copy.reset();
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(root.useCount(), 1);
    root.reset();
    EXPECT_EQ(live, 0);
}

namespace {

struct Node : Tracked {
    Node(int& liveCount, int nodeValue) : Tracked(liveCount), value(nodeValue) {}
    int value;
    CountedHandle<Node> next;
};

} // namespace

TEST(CountedHandle, AssignmentFromInsideTheReleasedObject)
{
    // Walking a list by `head = head->next` while head is the last holder of its node: the source
    // lives inside the node that the assignment lets go of.
    int live = 0;
    CountedHandle<Node> head(new Node(live, 1));
    head->next = CountedHandle<Node>(new Node(live, 2));
    head->next->next = CountedHandle<Node>(new Node(live, 3));
    ASSERT_EQ(live, 3);

    head = head->next;
    ASSERT_FALSE(head.isNull());
    EXPECT_EQ(head->value, 2);
    EXPECT_EQ(head.useCount(), 1) << "the released node's share of its successor is gone";
    EXPECT_EQ(live, 2);

    head = head->next;
    ASSERT_FALSE(head.isNull());
    EXPECT_EQ(head->value, 3);
    EXPECT_EQ(live, 1);

    head = head->next; // an empty successor
    EXPECT_TRUE(head.isNull());
    EXPECT_EQ(live, 0);
}
