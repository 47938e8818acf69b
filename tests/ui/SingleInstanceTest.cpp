#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
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
    std::vector<std::pair<QStringList, bool>> opened;
    int activations = 0;
    QObject::connect(&first, &SingleInstance::opened,
                     [&](const QStringList& urls, bool fromLink) { opened.emplace_back(urls, fromLink); });
    QObject::connect(&first, &SingleInstance::activated, [&] { ++activations; });

    // Each later process blocks until the first has taken its request, so
    // they run on their own threads while this one serves.
    auto later = [&](QStringList urls, bool fromLink = false) {
        SingleInstance::Role role = SingleInstance::Role::failed;
        std::thread process([&] {
            SingleInstance second(nullptr, dir.path(), false);
            role = second.claim(urls, fromLink);
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
    // The mark of a link travels beside the addresses, never inside them.
    EXPECT_EQ(later({"dozuzavuvu://paste", "activate"}, true), SingleInstance::Role::forwarded);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0].first, (QStringList{"dozuzavuvu://toggle", "dozuzavuvu://format?set=Links"}));
    EXPECT_FALSE(opened[0].second);
    EXPECT_EQ(opened[1].first, (QStringList{"dozuzavuvu://paste", "activate"}));
    EXPECT_TRUE(opened[1].second);
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

// Sets an environment variable (nothing: unsets it) for one test.
class ScopedEnvironment {
  public:
    ScopedEnvironment(const char* name, std::optional<QByteArray> value) : name_(name) {
        if (qEnvironmentVariableIsSet(name))
            saved_ = qgetenv(name);
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
    ~ScopedEnvironment() {
        if (saved_)
            qputenv(name_, *saved_);
        else
            qunsetenv(name_);
    }

  private:
    const char* name_;
    std::optional<QByteArray> saved_;
};

mode_t modeOf(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode : 0;
}

// Without a runtime folder the socket goes into a folder of our own in the
// temporary folder, never under a name another user could take first.
TEST(SingleInstanceTest, WithoutARuntimeFolderTheSocketIsInAPrivateFolder) {
    QTemporaryDir temp;
    ScopedEnvironment runtime("XDG_RUNTIME_DIR", std::nullopt);
    ScopedEnvironment tmpdir("TMPDIR", temp.path().toLocal8Bit());
    const QString folder = QDir(temp.path()).filePath(QStringLiteral("dozuzavuvu-%1").arg(geteuid()));

    SingleInstance first(nullptr, {}, false);
    ASSERT_EQ(first.claim({}), SingleInstance::Role::primary) << first.errorString().toStdString();
    EXPECT_EQ(first.socketPath(), QDir(folder).filePath("dozuzavuvu.socket"));
    EXPECT_TRUE(S_ISDIR(modeOf(folder)));
    EXPECT_EQ(modeOf(folder) & 0777, 0700u);

    // The same folder is found again by a later start.
    EXPECT_EQ(SingleInstance::privateFolder(temp.path(), nullptr), folder);
}

TEST(SingleInstanceTest, APrivateFolderSomeoneElseCouldUseIsRefused) {
    QTemporaryDir temp;
    const QString folder = QDir(temp.path()).filePath(QStringLiteral("dozuzavuvu-%1").arg(geteuid()));
    const QByteArray path = QFile::encodeName(folder);
    QString error;

    ASSERT_EQ(::mkdir(path.constData(), 0700), 0);
    ASSERT_EQ(::chmod(path.constData(), 0777), 0);
    EXPECT_TRUE(SingleInstance::privateFolder(temp.path(), &error).isEmpty());
    EXPECT_TRUE(error.endsWith("is open to other users")) << error.toStdString();

    // Made by another user (only root can show it).
    if (geteuid() == 0) {
        ASSERT_EQ(::chmod(path.constData(), 0700), 0);
        ASSERT_EQ(::chown(path.constData(), 65534, 65534), 0);
        EXPECT_TRUE(SingleInstance::privateFolder(temp.path(), &error).isEmpty());
        EXPECT_TRUE(error.endsWith("belongs to another user")) << error.toStdString();
    }
    ASSERT_EQ(::rmdir(path.constData()), 0);

    // A link, even to a folder of ours, could be changed under us.
    QTemporaryDir elsewhere;
    ASSERT_EQ(::chmod(QFile::encodeName(elsewhere.path()).constData(), 0700), 0);
    ASSERT_EQ(::symlink(QFile::encodeName(elsewhere.path()).constData(), path.constData()), 0);
    EXPECT_TRUE(SingleInstance::privateFolder(temp.path(), &error).isEmpty());
    EXPECT_TRUE(error.endsWith("is not a folder")) << error.toStdString();

    // And a start refuses to run with it.
    ScopedEnvironment runtime("XDG_RUNTIME_DIR", std::nullopt);
    ScopedEnvironment tmpdir("TMPDIR", temp.path().toLocal8Bit());
    SingleInstance instance(nullptr, {}, false);
    EXPECT_EQ(instance.claim({"dozuzavuvu://toggle"}), SingleInstance::Role::failed);
    EXPECT_TRUE(instance.errorString().contains(folder)) << instance.errorString().toStdString();
}

}  // namespace
}  // namespace dz
