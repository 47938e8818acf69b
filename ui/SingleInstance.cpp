#include "ui/SingleInstance.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QVariantMap>

namespace dz {

// org.freedesktop.Application on the bus object.
class ApplicationAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")

  public:
    explicit ApplicationAdaptor(SingleInstance* owner) : QDBusAbstractAdaptor(owner), owner_(owner) {}

  public slots:
    void Activate(const QVariantMap&) { emit owner_->activated(); }
    void Open(const QStringList& uris, const QVariantMap& platformData) {
        emit owner_->opened(uris,
                            platformData.value(QString::fromLatin1(SingleInstance::fromLinkKey)).toBool());
    }
    void ActivateAction(const QString&, const QVariantList&, const QVariantMap&) { emit owner_->activated(); }

  private:
    SingleInstance* owner_;
};

namespace {

constexpr int forwardTimeoutMs = 3000;
constexpr char noAnswer[] = "another instance is running but did not answer";
// One request per connection, ended by an empty line: "activate", or "open"
// (from a link: "open from-link") and then one address per line.
constexpr char activateLine[] = "activate";
constexpr char openLine[] = "open";
constexpr char openFromLinkLine[] = "open from-link";

}  // namespace

SingleInstance::SingleInstance(QObject* parent, QString socketDirectory, bool useBus)
    : QObject(parent), socketDirectory_(std::move(socketDirectory)), useBus_(useBus) {}

SingleInstance::~SingleInstance() {
    if (server_)
        server_->close();
}

SingleInstance::Role SingleInstance::claim(const QStringList& urls, bool fromLink) {
    fromLink_ = fromLink;
    if (useBus_ && QDBusConnection::sessionBus().isConnected())
        return claimBus(urls);
    return claimSocket(urls);
}

SingleInstance::Role SingleInstance::claimBus(const QStringList& urls) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusConnectionInterface* daemon = bus.interface();
    const auto reply =
        daemon->registerService(QString::fromLatin1(busName), QDBusConnectionInterface::DontQueueService,
                                QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        new ApplicationAdaptor(this);
        bus.registerObject(QString::fromLatin1(objectPath), this);
        return Role::primary;
    }
    const bool open = !urls.isEmpty();
    QDBusMessage call =
        QDBusMessage::createMethodCall(QString::fromLatin1(busName), QString::fromLatin1(objectPath),
                                       QStringLiteral("org.freedesktop.Application"),
                                       open ? QStringLiteral("Open") : QStringLiteral("Activate"));
    if (open) {
        QVariantMap platformData;
        if (fromLink_)
            platformData.insert(QString::fromLatin1(fromLinkKey), true);
        call << urls << platformData;
    } else
        call << QVariantMap();
    const QDBusMessage answer = bus.call(call, QDBus::Block, forwardTimeoutMs);
    if (answer.type() == QDBusMessage::ReplyMessage)
        return Role::forwarded;
    error_ = QString::fromLatin1(noAnswer);
    return Role::failed;
}

QString SingleInstance::privateFolder(const QString& parent, QString* error) {
    const QString folder = QDir(parent).filePath(QStringLiteral("dozuzavuvu-%1").arg(geteuid()));
    const QByteArray path = QFile::encodeName(folder);
    auto refuse = [&](const QString& why) {
        if (error)
            *error = QStringLiteral("the socket folder %1 %2").arg(folder, why);
        return QString();
    };
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return refuse(QStringLiteral("cannot be made: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    // Not followed if it is a link: the folder itself must be ours.
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0)
        return refuse(QStringLiteral("cannot be read: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
    if (!S_ISDIR(info.st_mode))
        return refuse(QStringLiteral("is not a folder"));
    if (info.st_uid != geteuid())
        return refuse(QStringLiteral("belongs to another user"));
    if ((info.st_mode & 077) != 0)
        return refuse(QStringLiteral("is open to other users"));
    return folder;
}

SingleInstance::Role SingleInstance::claimSocket(const QStringList& urls) {
    QString folder = socketDirectory_;
    if (folder.isEmpty()) {
        folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
        if (!QDir::isAbsolutePath(folder))
            folder = privateFolder(QDir::tempPath(), &error_);
        if (folder.isEmpty())
            return Role::failed;
    }
    socketPath_ = QDir(folder).filePath(QStringLiteral("dozuzavuvu.socket"));
    if (forwardOverSocket(urls))
        return Role::forwarded;
    // Nobody answered: a socket file left by a crash is stale.
    QLocalServer::removeServer(socketPath_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(socketPath_)) {
        // Lost a race with another starting process: hand over to it.
        error_ = QStringLiteral("cannot listen on %1: %2").arg(socketPath_, server_->errorString());
        delete server_;
        server_ = nullptr;
        return forwardOverSocket(urls) ? Role::forwarded : Role::failed;
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* client = server_->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, this, [this, client] { readClient(client); });
        }
    });
    return Role::primary;
}

bool SingleInstance::forwardOverSocket(const QStringList& urls) {
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (!socket.waitForConnected(forwardTimeoutMs))
        return false;
    QByteArray request = QByteArray(urls.isEmpty() ? activateLine
                                    : fromLink_    ? openFromLinkLine
                                                   : openLine) +
                         '\n';
    for (const QString& url : urls) request += url.toUtf8().replace('\n', "%0A") + '\n';
    request += '\n';  // end of request
    socket.write(request);
    if (!socket.waitForBytesWritten(forwardTimeoutMs))
        return false;
    // The primary answers once it has taken the request.
    return socket.waitForReadyRead(forwardTimeoutMs) && socket.readAll().startsWith("ok");
}

void SingleInstance::readClient(QLocalSocket* client) {
    const QByteArray buffer = client->property("buffer").toByteArray() + client->readAll();
    // A request is small; anything past 1 MiB is not one of ours.
    if (buffer.size() > (1 << 20)) {
        client->abort();
        return;
    }
    const qsizetype end = buffer.indexOf("\n\n");
    if (end < 0) {
        client->setProperty("buffer", buffer);
        return;
    }
    const QByteArray body = buffer.left(end);
    client->setProperty("buffer", QByteArray());
    client->write("ok\n");
    client->flush();
    QList<QByteArray> lines = body.split('\n');
    const QByteArray verb = lines.takeFirst();
    QStringList urls;
    for (const QByteArray& line : lines)
        if (!line.isEmpty())
            urls << QString::fromUtf8(line);
    if (verb == activateLine || (urls.isEmpty() && (verb == openLine || verb == openFromLinkLine)))
        emit activated();
    else if (verb == openLine || verb == openFromLinkLine)
        emit opened(urls, verb == openFromLinkLine);
}

}  // namespace dz

#include "SingleInstance.moc"
