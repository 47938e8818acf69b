#include "ui/DesktopColorScheme.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QVariant>

namespace dz {

std::optional<DesktopColorScheme> desktopColorScheme() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return std::nullopt;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.portal.Desktop"), QStringLiteral("/org/freedesktop/portal/desktop"),
        QStringLiteral("org.freedesktop.portal.Settings"), QStringLiteral("Read"));
    call << QStringLiteral("org.freedesktop.appearance") << QStringLiteral("color-scheme");
    // Asked once at start; a portal that is slow to start must not hold us up.
    const QDBusMessage reply = bus.call(call, QDBus::Block, 500);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    // Read wraps the value in one variant more than ReadOne; unwrap both.
    QVariant value = reply.arguments().constFirst();
    for (int depth = 0; depth < 3 && value.canConvert<QDBusVariant>() &&
                        value.metaType() == QMetaType::fromType<QDBusVariant>();
         ++depth)
        value = value.value<QDBusVariant>().variant();
    bool ok = false;
    const uint scheme = value.toUInt(&ok);
    if (!ok)
        return std::nullopt;
    // 1 prefers dark, 2 prefers light, anything else says nothing.
    if (scheme == 1)
        return DesktopColorScheme::dark;
    if (scheme == 2)
        return DesktopColorScheme::light;
    return std::nullopt;
}

}  // namespace dz
