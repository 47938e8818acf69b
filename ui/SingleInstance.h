#pragma once
// One running program per session. The first process owns the session-bus
// name dev.dozuzavuvu and serves org.freedesktop.Application on it; a later
// one hands its addresses (or a plain "activate") to the first and exits.
// Without a session bus a local socket does the same, in $XDG_RUNTIME_DIR or
// else in a folder of this user's own in the temporary folder.

#include <functional>

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

namespace dz {

class SingleInstance : public QObject {
    Q_OBJECT

  public:
    static constexpr const char* busName = "dev.dozuzavuvu";
    static constexpr const char* objectPath = "/dev/dozuzavuvu";
    // The key in `Open`'s platform data that marks addresses from a link.
    static constexpr const char* fromLinkKey = "dev.dozuzavuvu.from-link";

    enum class Role {
        primary,    // this process runs the program
        forwarded,  // another process got the request; exit 0
        failed,     // neither owning nor forwarding worked; exit 1
    };

    // `socketDirectory` is only for tests; empty means $XDG_RUNTIME_DIR, else
    // `privateFolder` in the temporary folder.
    explicit SingleInstance(QObject* parent = nullptr, QString socketDirectory = {}, bool useBus = true);
    ~SingleInstance() override;

    // Becomes the primary or forwards `urls` (none: activate) to it, marked
    // as coming from a link when `fromLink`.
    Role claim(const QStringList& urls, bool fromLink = false);
    // Why `claim` failed, in one phrase.
    QString errorString() const { return error_; }
    // The local socket, once `claim` has chosen it.
    QString socketPath() const { return socketPath_; }

    // "dozuzavuvu-UID" in `parent`, created 0700 when missing. Nothing, and the
    // reason in `error`, when it is not a folder, belongs to another user or
    // is open to others: whoever made it could listen on our socket.
    static QString privateFolder(const QString& parent, QString* error);

  signals:
    // The user started the program again.
    void activated();
    // Addresses to run, in order; `fromLink`: opened through a link.
    void opened(const QStringList& urls, bool fromLink);

  private:
    Role claimBus(const QStringList& urls);
    Role claimSocket(const QStringList& urls);
    bool forwardOverSocket(const QStringList& urls);
    void readClient(QLocalSocket* client);

    QString socketDirectory_;
    bool useBus_;
    QString socketPath_;
    QString error_;
    bool fromLink_ = false;
    QLocalServer* server_ = nullptr;
};

}  // namespace dz
