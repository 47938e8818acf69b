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
    return colorSchemeFromPortal(reply.arguments().constFirst());
}

std::optional<DesktopColorScheme> colorSchemeFromPortal(QVariant value) {
    // Read wraps the value in one variant more than ReadOne and the signal.
    for (int depth = 0; depth < 3 && value.metaType() == QMetaType::fromType<QDBusVariant>(); ++depth)
        value = value.value<QDBusVariant>().variant();
    // Another program sent it: only an unsigned number counts.
    if (value.metaType() != QMetaType::fromType<uint>())
        return std::nullopt;
    switch (value.toUInt()) {
        case 1:
            return DesktopColorScheme::dark;
        case 2:
            return DesktopColorScheme::light;
        default:
            return std::nullopt;
    }
}

}  // namespace dz
