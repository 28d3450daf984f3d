// The object a context-less C callback reaches, and its lifetime contract.
#include "sync/callback_target.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

namespace {

using quorvane::CallbackTarget;

struct Counter {
    int calls = 0;
};

TEST(CallbackTargetTest, ReachesOnlyTheAttachedObject) {
    CallbackTarget<Counter> target;
    Counter first, second;
    auto count = [](Counter& c) { ++c.calls; };
    EXPECT_FALSE(target.invoke(count)) << "nothing attached";
    target.attach(&first);
    EXPECT_TRUE(target.invoke(count));
    target.attach(&second);  // replaces
    EXPECT_TRUE(target.invoke(count));
    EXPECT_FALSE(target.detach(&first)) << "a replaced object is not detached again";
    EXPECT_TRUE(target.invoke(count));
    EXPECT_TRUE(target.detach(&second));
    EXPECT_FALSE(target.invoke(count));
    EXPECT_EQ(first.calls, 1);
    EXPECT_EQ(second.calls, 2);
}

TEST(CallbackTargetTest, CallsNestOnOneThread) {
    CallbackTarget<Counter> target;
    Counter counter;
    target.attach(&counter);
    const bool ran = target.invoke([&](Counter& outer) {
        ++outer.calls;
        target.invoke([](Counter& inner) { ++inner.calls; });
    });
    EXPECT_TRUE(ran);
    EXPECT_EQ(counter.calls, 2);
}

// The object may be destroyed once detach returns: detach waits for a call
// that is running on another thread.
TEST(CallbackTargetTest, DetachWaitsForTheCallInFlight) {
    CallbackTarget<Counter> target;
    auto counter = std::make_unique<Counter>();
    target.attach(counter.get());
    std::promise<void> entered, release;
    std::shared_future<void> released = release.get_future().share();
    std::thread library([&] {
        target.invoke([&](Counter& c) {
            entered.set_value();
            released.wait();
            ++c.calls;  // still a live object
        });
    });
    entered.get_future().wait();
    std::future<bool> detached =
        std::async(std::launch::async, [&] { return target.detach(counter.get()); });
    // A detach that did not wait would be done long before this.
    EXPECT_EQ(detached.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
    release.set_value();
    EXPECT_TRUE(detached.get());
    EXPECT_EQ(counter->calls, 1);
    counter.reset();
    EXPECT_FALSE(target.invoke([](Counter& c) { ++c.calls; }));
    library.join();
}

}  // namespace
