// The session registry's ring: rotation on lookup, removal, and what its
// destruction frees.
#include "api/handle_registry.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

#include "session/vantix_session.h"

namespace {

using Ring = CTRing<CSDKDATA>;

CVantix* FakeSession(intptr_t n) { return reinterpret_cast<CVantix*>(n * 16); }

// Walks the ring from the head through `next` and checks the links both ways.
std::vector<int64_t> HandlesFromHead(Ring& ring) {
    std::vector<int64_t> handles;
    Ring::Node* node = ring.Head();
    if (node == nullptr) return handles;
    do {
        EXPECT_EQ(node->next->prev, node);
        EXPECT_EQ(node->prev->next, node);
        handles.push_back(node->record.handle);
        node = node->next;
    } while (node != ring.Head() && handles.size() <= 100);
    EXPECT_EQ(static_cast<int32_t>(handles.size()), ring.Count());
    return handles;
}

TEST(HandleRing, InsertPutsTheNewRecordAtTheHeadBeforeTheOldOne) {
    Ring ring;
    EXPECT_EQ(ring.Head(), nullptr);
    ASSERT_TRUE(ring.Insert({1, FakeSession(1)}));
    EXPECT_EQ(ring.Head()->next, ring.Head());  // one node links to itself
    EXPECT_EQ(ring.Head()->prev, ring.Head());
    ASSERT_TRUE(ring.Insert({2, FakeSession(2)}));
    ASSERT_TRUE(ring.Insert({3, FakeSession(3)}));
    EXPECT_EQ(HandlesFromHead(ring), (std::vector<int64_t>{3, 2, 1}));
}

TEST(HandleRing, LookupRotatesTheFoundNodeToTheHead) {
    Ring ring;
    ring.Insert({1, FakeSession(1)});
    ring.Insert({2, FakeSession(2)});  // ring from head: 2, 1
    Ring::Node* older = ring.Lookup(1);
    ASSERT_NE(older, nullptr);
    EXPECT_EQ(older->record.session, FakeSession(1));
    EXPECT_EQ(ring.Head(), older);
    EXPECT_EQ(HandlesFromHead(ring), (std::vector<int64_t>{1, 2}));
}

TEST(HandleRing, FailedLookupLeavesTheHeadOnTheFormerLastNode) {
    Ring ring;
    for (int64_t h : {1, 2, 3, 4}) ring.Insert({h, FakeSession(h)});  // from head: 4, 3, 2, 1
    EXPECT_EQ(ring.Lookup(99), nullptr);
    EXPECT_EQ(ring.Head()->record.handle, 1);
    EXPECT_EQ(HandlesFromHead(ring), (std::vector<int64_t>{1, 4, 3, 2}));
    Ring empty;
    EXPECT_EQ(empty.Lookup(1), nullptr);
}

TEST(HandleRing, RemoveUnlinksOnlyTheMatchingNode) {
    Ring ring;
    for (int64_t h : {1, 2, 3}) ring.Insert({h, FakeSession(h)});
    EXPECT_EQ(ring.Remove(7), 0);
    EXPECT_EQ(ring.Count(), 3);
    EXPECT_EQ(ring.Remove(2), 1);
    EXPECT_EQ(ring.Lookup(2), nullptr);
    EXPECT_EQ(ring.Count(), 2);
    EXPECT_EQ(ring.Remove(1), 1);
    EXPECT_EQ(ring.Remove(3), 1);
    EXPECT_EQ(ring.Count(), 0);
    EXPECT_EQ(ring.Head(), nullptr);
    EXPECT_EQ(ring.RemoveHead(), 0);
    // An emptied ring starts over as a one-node ring.
    ring.Insert({5, FakeSession(5)});
    EXPECT_EQ(HandlesFromHead(ring), (std::vector<int64_t>{5}));
}

TEST(HandleRing, DestructionFreesNodesButNotSessions) {
    // The sessions here are live objects owned by the test; a ring that
    // deleted them would be caught by the sanitizers as a double free.
    CVantix first;
    CVantix second;
    {
        Ring ring;
        ring.Insert({1, &first});
        ring.Insert({2, &second});
    }
    EXPECT_EQ(first.PopError(), 0);
    EXPECT_EQ(second.PopError(), 0);
}

TEST(SdkChain, CreatedHandlesAreNonZeroUniqueAndDetachable) {
    CSdkChain chain;
    std::set<int32_t> handles;
    for (int i = 0; i < 50; ++i) {
        const int32_t handle = chain.CreateSession();
        ASSERT_NE(handle, 0);
        EXPECT_TRUE(handles.insert(handle).second) << "duplicate handle";
    }
    for (int32_t handle : handles) {
        ASSERT_NE(chain.SessionFor(handle), nullptr);
        CVantix* session = nullptr;
        ASSERT_TRUE(chain.Detach(handle, &session));
        EXPECT_EQ(chain.SessionFor(handle), nullptr);
        CVantix* again = nullptr;
        EXPECT_FALSE(chain.Detach(handle, &again));
        delete session;
    }
    EXPECT_EQ(chain.Count(), 0);
}

TEST(SdkChain, ConcurrentLookupsKeepTheRingIntact) {
    CSdkChain chain;
    std::vector<int32_t> handles;
    for (int i = 0; i < 4; ++i) handles.push_back(chain.CreateSession());
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                EXPECT_NE(chain.SessionFor(handles[static_cast<size_t>((t + i) % 4)]), nullptr);
                EXPECT_EQ(chain.SessionFor(0x7FFFFFFF), nullptr);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(chain.Count(), 4);
    for (int32_t handle : handles) {
        CVantix* session = nullptr;
        ASSERT_TRUE(chain.Detach(handle, &session));
        delete session;
    }
}

}  // namespace
