#include "ui/StatusNotifierThemePath.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QMetaClassInfo>
#include <QMetaObject>

namespace dz {
namespace {

constexpr const char* itemInterface = "org.kde.StatusNotifierItem";

// Qt's adaptor for the item interface among the object's children.
QObject* itemAdaptor(QObject* item) {
    for (QObject* child : item->children()) {
        if (!qobject_cast<QDBusAbstractAdaptor*>(child) || qobject_cast<StatusNotifierThemePath*>(child))
            continue;
        const QMetaObject* meta = child->metaObject();
        const int index = meta->indexOfClassInfo("D-Bus Interface");
        if (index >= 0 && qstrcmp(meta->classInfo(index).value(), itemInterface) == 0)
            return child;
    }
    return nullptr;
}

}  // namespace

bool StatusNotifierThemePath::attach(const QString& themePath) {
    // Qt registers each tray icon on a connection of its own, named after
    // the item's service ("org.kde.StatusNotifierItem-PID-N").
    const QString prefix =
        QStringLiteral("org.kde.StatusNotifierItem-%1-").arg(QCoreApplication::applicationPid());
    for (int n = 1; n <= 16; ++n) {
        const QDBusConnection connection(prefix + QString::number(n));
        if (!connection.isConnected())
            continue;
        QObject* item = connection.objectRegisteredAt(QStringLiteral("/StatusNotifierItem"));
        if (!item)
            continue;
        for (QObject* child : item->children())
            if (auto* ours = qobject_cast<StatusNotifierThemePath*>(child)) {
                ours->themePath_ = themePath;
                return true;
            }
        if (QObject* qt = itemAdaptor(item)) {
            // The newest adaptor for an interface is the one D-Bus calls reach.
            new StatusNotifierThemePath(item, qt, themePath);
            return true;
        }
    }
    return false;
}

StatusNotifierThemePath::StatusNotifierThemePath(QObject* item, QObject* qtAdaptor, QString themePath)
    : QDBusAbstractAdaptor(item), qt_(qtAdaptor), themePath_(std::move(themePath)) {
    // Qt's item emits its changes on its own adaptor; they go out through ours.
    const QMetaObject* theirs = qt_->metaObject();
    const QMetaObject* mine = metaObject();
    for (int i = mine->methodOffset(); i < mine->methodCount(); ++i) {
        const QMetaMethod signal = mine->method(i);
        if (signal.methodType() != QMetaMethod::Signal)
            continue;
        const int index = theirs->indexOfSignal(signal.methodSignature().constData());
        if (index >= 0)
            connect(qt_, theirs->method(index), this, signal);
    }
}

QVariant StatusNotifierThemePath::value(const char* name) const {
    return qt_->property(name);
}

void StatusNotifierThemePath::Activate(int x, int y) {
    QMetaObject::invokeMethod(qt_, "Activate", Q_ARG(int, x), Q_ARG(int, y));
}

void StatusNotifierThemePath::ContextMenu(int x, int y) {
    QMetaObject::invokeMethod(qt_, "ContextMenu", Q_ARG(int, x), Q_ARG(int, y));
}

void StatusNotifierThemePath::Scroll(int delta, const QString& orientation) {
    QMetaObject::invokeMethod(qt_, "Scroll", Q_ARG(int, delta), Q_ARG(QString, orientation));
}

void StatusNotifierThemePath::SecondaryActivate(int x, int y) {
    QMetaObject::invokeMethod(qt_, "SecondaryActivate", Q_ARG(int, x), Q_ARG(int, y));
}

}  // namespace dz
