#include "protocol/HandleTable.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

namespace qxftp {
namespace {

TEST(HandleTable, HandlesAreDistinctAndAStaleOneIsRefused) {
    HandleTable<int, 4> table;
    std::set<int> handles;
    for (int i = 0; i < 4; ++i) {
        const int handle = table.Add(std::make_shared<int>(i));
        ASSERT_GT(handle, 0);
        handles.insert(handle);
    }
    EXPECT_EQ(handles.size(), 4u);
    EXPECT_EQ(table.Add(std::make_shared<int>(9)), 0);  // full

    const int first = *handles.begin();
    const int value = *table.Find(first);
    ASSERT_NE(table.Remove(first), nullptr);
    EXPECT_EQ(table.Find(first), nullptr);
    EXPECT_EQ(table.Remove(first), nullptr);

    // The slot is given out again under a new handle; the old one still reaches nothing.
    const int reused = table.Add(std::make_shared<int>(42));
    ASSERT_GT(reused, 0);
    EXPECT_NE(reused, first);
    EXPECT_EQ(table.Find(first), nullptr);
    EXPECT_EQ(*table.Find(reused), 42);
    EXPECT_NE(value, 42);

    EXPECT_EQ(table.Find(0), nullptr);
    EXPECT_EQ(table.Find(-5), nullptr);
    EXPECT_EQ(table.Find(2147483647), nullptr);
}

TEST(HandleTable, RemovedObjectLivesWhileSomeoneStillUsesIt) {
    HandleTable<int, 2> table;
    const int handle = table.Add(std::make_shared<int>(7));
    std::shared_ptr<int> inUse = table.Find(handle);
    table.Remove(handle);
    EXPECT_EQ(*inUse, 7);
    EXPECT_EQ(inUse.use_count(), 1);
}

TEST(HandleTable, ManyThreadsAddFindAndRemove) {
    HandleTable<int, 16> table;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&table, &wrong, t] {
            for (int i = 0; i < 2000; ++i) {
                const int mine = t * 100000 + i;
                const int handle = table.Add(std::make_shared<int>(mine));
                if (handle == 0) continue;
                std::shared_ptr<int> found = table.Find(handle);
                if (!found || *found != mine) ++wrong;
                std::shared_ptr<int> removed = table.Remove(handle);
                if (!removed || *removed != mine) ++wrong;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace qxftp
