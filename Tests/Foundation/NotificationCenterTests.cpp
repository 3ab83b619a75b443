#include <Foundation/Dispatch.h>
#include <Foundation/NotificationCenter.h>
#include <Support/GlobalStateGuards.h>
#include <atomic>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>

using namespace Foundation;

TEST(NotificationCenter, ObserversHearTheirNameAndSenderInOrderAdded) {
    NotificationCenter center;
    auto sender = std::make_shared<int>(1);
    auto other = std::make_shared<int>(2);
    std::string heard;
    center.addObserver("changed", [&](const Notification&) { heard += "any "; });
    center.addObserver(
        "changed", [&](const Notification&) { heard += "sender "; }, sender);
    center.addObserver("other", [&](const Notification&) { heard += "wrong-name "; });
    EXPECT_EQ(center.addObserver("", [](const Notification&) {}), 0u);
    EXPECT_EQ(center.addObserver("changed", nullptr), 0u);

    center.post("changed", sender);
    EXPECT_EQ(heard, "any sender ");
    heard.clear();
    center.post("changed", other);
    center.post("changed");
    EXPECT_EQ(heard, "any any ");
}

TEST(NotificationCenter, HandlersMayRemoveAddAndPostDuringDelivery) {
    NotificationCenter center;
    std::string heard;
    ObserverToken second = 0;
    center.addObserver("n", [&](const Notification&) {
        heard += "first ";
        center.removeObserver(second); // not called in this very post
        center.addObserver("n", [&](const Notification&) { heard += "late "; });
        center.post("inner");
    });
    second = center.addObserver("n", [&](const Notification&) { heard += "second "; });
    center.addObserver("inner", [&](const Notification&) { heard += "inner "; });
    center.post("n");
    EXPECT_EQ(heard, "first inner ");

    // Removing a token twice, or one never handed out, leaves the others alone; the observer added
    // during the first delivery hears the second.
    center.removeObserver(second);
    center.removeObserver(12345);
    heard.clear();
    center.post("n");
    EXPECT_EQ(heard, "first inner late ");
}

TEST(NotificationCenter, ScopedObserverStopsDeliveryWhenItGoes) {
    NotificationCenter center;
    int calls = 0;
    {
        ScopedObserver observer(center, center.addObserver("n", [&](const Notification&) { ++calls; }));
        ScopedObserver moved = std::move(observer);
        center.post("n");
    }
    center.post("n");
    EXPECT_EQ(calls, 1);
}

TEST(NotificationCenter, SettingTheDeviceOrientationPostsOnTheDefaultCenter) {
    const TestSupport::DeviceOrientation restoreOrientation;
    auto& center = NotificationCenter::defaultCenter();
    std::vector<DeviceOrientation> seen;
    ScopedObserver observer(
        center, center.addObserver(DeviceOrientationDidChangeNotification,
                                   [&](const Notification&) { seen.push_back(currentDeviceOrientation()); }));
    setCurrentDeviceOrientation(DeviceOrientation::LandscapeLeft);
    setCurrentDeviceOrientation(DeviceOrientation::LandscapeLeft);
    setCurrentDeviceOrientation(DeviceOrientation::Portrait);
    EXPECT_EQ(seen, (std::vector<DeviceOrientation>{DeviceOrientation::LandscapeLeft,
                                                    DeviceOrientation::LandscapeLeft,
                                                    DeviceOrientation::Portrait}));
}

TEST(NotificationCenter, PostsAddsAndRemovesFromManyThreads) {
    NotificationCenter center;
    std::atomic<int> permanentCalls{0};
    center.addObserver("n", [&](const Notification&) { ++permanentCalls; });
    parallelFor(2000, [&](std::size_t i) {
        if (i % 2 == 0) {
            center.post("n");
        } else {
            ObserverToken token = center.addObserver("n", [](const Notification&) {});
            center.removeObserver(token);
        }
    });
    EXPECT_EQ(permanentCalls, 1000);
}
