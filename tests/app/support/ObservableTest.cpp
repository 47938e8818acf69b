#include <gtest/gtest.h>

#include "app/support/Observable.h"

using namespace dz;

TEST(ObservableTest, DeliversCurrentAndLaterValuesUntilDropped) {
    Observable<int> value(1);
    std::vector<int> seen;
    {
        auto subscription = value.subscribe([&](const int& v) { seen.push_back(v); });
        value.publish(2);
        value.publish(2);
        EXPECT_EQ(value.subscriberCount(), 1u);
    }
    value.publish(3);
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 2}));
    EXPECT_EQ(value.value(), 3);
    EXPECT_EQ(value.subscriberCount(), 0u);
}

TEST(ObservableTest, CancellingDuringDeliveryAndOutlivingTheSource) {
    auto value = std::make_unique<Observable<int>>(0);
    std::vector<std::string> calls;
    Observable<int>::Subscription second;
    auto first = value->subscribe([&](const int& v) {
        calls.push_back("first " + std::to_string(v));
        if (v == 1)
            second.cancel();
    });
    second = value->subscribe([&](const int& v) { calls.push_back("second " + std::to_string(v)); });
    value->publish(1);
    value->publish(2);
    EXPECT_EQ(calls, (std::vector<std::string>{"first 0", "second 0", "first 1", "first 2"}));
    EXPECT_FALSE(second.isActive());
    value.reset();
    first.cancel();  // the observable is gone; nothing to do
    EXPECT_FALSE(first.isActive());
}

TEST(ObservableTest, PublishingFromACallbackSupersedesTheValueBeingDelivered) {
    Observable<int> value(0);
    std::vector<int> seen;
    auto bump = value.subscribe([&](const int& v) {
        if (v == 1)
            value.publish(10);
    });
    auto record = value.subscribe([&](const int& v) { seen.push_back(v); });
    value.publish(1);
    EXPECT_EQ(value.value(), 10);
    // The second subscriber never sees 1 after 10.
    EXPECT_EQ(seen, (std::vector<int>{0, 10}));
}
