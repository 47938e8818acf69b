#include "ui/TrayItemAdaptor.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMetaType>
#include <QIcon>
#include <QImage>
#include <QMetaClassInfo>
#include <QMetaObject>
#include <QSystemTrayIcon>
#include <QtEndian>

namespace dz {
namespace {

constexpr const char* itemInterface = "org.kde.StatusNotifierItem";

// Qt's adaptor for the item interface among the object's children.
QObject* itemAdaptor(QObject* item) {
    for (QObject* child : item->children()) {
        if (!qobject_cast<QDBusAbstractAdaptor*>(child) || qobject_cast<TrayItemAdaptor*>(child))
            continue;
        const QMetaObject* meta = child->metaObject();
        const int index = meta->indexOfClassInfo("D-Bus Interface");
        if (index >= 0 && qstrcmp(meta->classInfo(index).value(), itemInterface) == 0)
            return child;
    }
    return nullptr;
}

}  // namespace

bool TrayItemAdaptor::attach(QSystemTrayIcon* tray, const QString& themePath) {
    static const bool registered = [] {
        qDBusRegisterMetaType<TrayItemImage>();
        qDBusRegisterMetaType<TrayItemImages>();
        qDBusRegisterMetaType<TrayItemToolTip>();
        return true;
    }();
    (void)registered;
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
            if (auto* ours = qobject_cast<TrayItemAdaptor*>(child)) {
                ours->themePath_ = themePath;
                return true;
            }
        if (QObject* qt = itemAdaptor(item)) {
            // The newest adaptor for an interface is the one D-Bus calls reach.
            new TrayItemAdaptor(item, qt, tray, themePath);
            return true;
        }
    }
    return false;
}

TrayItemAdaptor::TrayItemAdaptor(QObject* item, QObject* qtAdaptor, QSystemTrayIcon* tray, QString themePath)
    : QDBusAbstractAdaptor(item), qt_(qtAdaptor), tray_(tray), themePath_(std::move(themePath)) {
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

TrayItemImages TrayItemAdaptor::images(const QIcon& icon) {
    TrayItemImages out;
    for (const QSize& size : icon.availableSizes()) {
        const QImage image = icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
        TrayItemImage item{image.width(), image.height(), {}};
        item.argb.resize(qsizetype(image.width()) * image.height() * 4);
        uchar* out32 = reinterpret_cast<uchar*>(item.argb.data());
        for (int y = 0; y < image.height(); ++y) {
            const auto* line = reinterpret_cast<const quint32*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x, out32 += 4) qToBigEndian(line[x], out32);
        }
        out.push_back(std::move(item));
    }
    return out;
}

TrayItemImages TrayItemAdaptor::iconPixmap() const {
    return tray_ ? images(tray_->icon()) : TrayItemImages{};
}

TrayItemToolTip TrayItemAdaptor::toolTip() const {
    TrayItemToolTip tip;
    tip.iconName = iconName();
    tip.images = iconPixmap();
    tip.title = tray_ ? tray_->toolTip() : QString();
    return tip;
}

QDBusArgument& operator<<(QDBusArgument& argument, const TrayItemImage& image) {
    argument.beginStructure();
    argument << image.width << image.height << image.argb;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, TrayItemImage& image) {
    argument.beginStructure();
    argument >> image.width >> image.height >> image.argb;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const TrayItemToolTip& tip) {
    argument.beginStructure();
    argument << tip.iconName << tip.images << tip.title << tip.text;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, TrayItemToolTip& tip) {
    argument.beginStructure();
    argument >> tip.iconName >> tip.images >> tip.title >> tip.text;
    argument.endStructure();
    return argument;
}

QVariant TrayItemAdaptor::value(const char* name) const {
    return qt_->property(name);
}

void TrayItemAdaptor::Activate(int x, int y) {
    QMetaObject::invokeMethod(qt_, "Activate", Q_ARG(int, x), Q_ARG(int, y));
}

void TrayItemAdaptor::ContextMenu(int x, int y) {
    QMetaObject::invokeMethod(qt_, "ContextMenu", Q_ARG(int, x), Q_ARG(int, y));
}

void TrayItemAdaptor::Scroll(int delta, const QString& orientation) {
    QMetaObject::invokeMethod(qt_, "Scroll", Q_ARG(int, delta), Q_ARG(QString, orientation));
}

void TrayItemAdaptor::SecondaryActivate(int x, int y) {
    QMetaObject::invokeMethod(qt_, "SecondaryActivate", Q_ARG(int, x), Q_ARG(int, y));
}

}  // namespace dz
