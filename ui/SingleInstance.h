#pragma once
// One running program per session. The first process owns the session-bus
// name dev.dozuzavuvu and serves org.freedesktop.Application on it; a later
// one hands its addresses (or a plain "activate") to the first and exits.
// Without a session bus a local socket in $XDG_RUNTIME_DIR does the same.

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

    enum class Role {
        primary,    // this process runs the program
        forwarded,  // another process got the request; exit 0
        failed,     // neither owning nor forwarding worked; exit 1
    };

    // `socketDirectory` is only for tests; empty means $XDG_RUNTIME_DIR.
    explicit SingleInstance(QObject* parent = nullptr, QString socketDirectory = {}, bool useBus = true);
    ~SingleInstance() override;

    // Becomes the primary or forwards `urls` (none: activate) to it.
    Role claim(const QStringList& urls);
    QString socketPath() const;

  signals:
    // The user started the program again.
    void activated();
    // Addresses to run, in order.
    void opened(const QStringList& urls);

  private:
    Role claimBus(const QStringList& urls);
    Role claimSocket(const QStringList& urls);
    bool forwardOverSocket(const QStringList& urls);
    void readClient(QLocalSocket* client);

    QString socketDirectory_;
    bool useBus_;
    QLocalServer* server_ = nullptr;
};

}  // namespace dz
