#include <gtest/gtest.h>

#include <thread>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include "ui/SingleInstance.h"

namespace dz {
namespace {

// The socket fallback, used where the session has no bus.
TEST(SingleInstanceTest, ASecondProcessHandsItsAddressesToTheFirstInOrder) {
    QTemporaryDir dir;
    SingleInstance first(nullptr, dir.path(), false);
    ASSERT_EQ(first.claim({}), SingleInstance::Role::primary);
    std::vector<QStringList> opened;
    int activations = 0;
    QObject::connect(&first, &SingleInstance::opened,
                     [&](const QStringList& urls) { opened.push_back(urls); });
    QObject::connect(&first, &SingleInstance::activated, [&] { ++activations; });

    // Each later process blocks until the first has taken its request, so
    // they run on their own threads while this one serves.
    auto later = [&](QStringList urls) {
        SingleInstance::Role role = SingleInstance::Role::failed;
        std::thread process([&] {
            SingleInstance second(nullptr, dir.path(), false);
            role = second.claim(urls);
        });
        QElapsedTimer clock;
        clock.start();
        while (role == SingleInstance::Role::failed && clock.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        process.join();
        QCoreApplication::processEvents();
        return role;
    };
    EXPECT_EQ(later({"dozuzavuvu://toggle", "dozuzavuvu://format?set=Links"}),
              SingleInstance::Role::forwarded);
    EXPECT_EQ(later({}), SingleInstance::Role::forwarded);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], (QStringList{"dozuzavuvu://toggle", "dozuzavuvu://format?set=Links"}));
    EXPECT_EQ(activations, 1);
}

TEST(SingleInstanceTest, AStaleSocketFromACrashIsTakenOver) {
    QTemporaryDir dir;
    QFile stale(QDir(dir.path()).filePath("dozuzavuvu.socket"));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    SingleInstance instance(nullptr, dir.path(), false);
    EXPECT_EQ(instance.claim({"dozuzavuvu://toggle"}), SingleInstance::Role::primary);
}

}  // namespace
}  // namespace dz
