#pragma once
// Qt's StatusNotifierItem sends the icon's theme name but no IconThemePath,
// so a host finds our symbolic icons only when they are installed where it
// looks. This adaptor takes the place of Qt's on the item's D-Bus object:
// methods, signals and the plain properties pass through to Qt's own
// adaptor, the pixmaps and tool tip are drawn from the tray icon, and
// IconThemePath names the folder our icons are in.

#include <QByteArray>
#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QList>
#include <QMetaType>
#include <QPointer>
#include <QString>
#include <QVariant>

class QIcon;
class QSystemTrayIcon;

namespace dz {

// One pixmap as the protocol sends it, (iiay): ARGB32 in network byte order.
struct TrayItemImage {
    int width = 0;
    int height = 0;
    QByteArray argb;
};
using TrayItemImages = QList<TrayItemImage>;
// The tool tip, (sa(iiay)ss): icon name, pixmaps, title and text.
struct TrayItemToolTip {
    QString iconName;
    TrayItemImages images;
    QString title;
    QString text;
};

class TrayItemAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_CLASSINFO("D-Bus Introspection",
                "  <interface name=\"org.kde.StatusNotifierItem\">\n"
                "    <property name=\"Category\" type=\"s\" access=\"read\"/>\n"
                "    <property name=\"Id\" type=\"s\" access=\"read\"/>\n"
                "    <property name=\"Title\" type=\"s\" access=\"read\"/>\n"
                "    <property name=\"Status\" type=\"s\" access=\"read\"/>\n"
                "    <property name=\"IconThemePath\" type=\"s\" access=\"read\"/>\n"
                "    <property name=\"Menu\" type=\"o\" access=\"read\"/>\n"
                "    <property name=\"ItemIsMenu\" type=\"b\" access=\"read\"/>\n"
                "    <property name=\"IconName\" type=\"s\" access=\"read\"/>\n"
                "    <property name=\"IconPixmap\" type=\"a(iiay)\" access=\"read\"/>\n"
                "    <property name=\"OverlayIconName\" type=\"s\" access=\"read\"/>\n"
                "    <property name=\"OverlayIconPixmap\" type=\"a(iiay)\" access=\"read\"/>\n"
                "    <property name=\"AttentionIconName\" type=\"s\" access=\"read\"/>\n"
                "    <property name=\"AttentionIconPixmap\" type=\"a(iiay)\" access=\"read\"/>\n"
                "    <property name=\"AttentionMovieName\" type=\"s\" access=\"read\"/>\n"
                "    <property name=\"ToolTip\" type=\"(sa(iiay)ss)\" access=\"read\"/>\n"
                "    <method name=\"ContextMenu\"><arg name=\"x\" type=\"i\" direction=\"in\"/><arg "
                "name=\"y\" type=\"i\" direction=\"in\"/></method>\n"
                "    <method name=\"Activate\"><arg name=\"x\" type=\"i\" direction=\"in\"/><arg name=\"y\" "
                "type=\"i\" direction=\"in\"/></method>\n"
                "    <method name=\"SecondaryActivate\"><arg name=\"x\" type=\"i\" direction=\"in\"/><arg "
                "name=\"y\" type=\"i\" direction=\"in\"/></method>\n"
                "    <method name=\"Scroll\"><arg name=\"delta\" type=\"i\" direction=\"in\"/><arg "
                "name=\"orientation\" type=\"s\" direction=\"in\"/></method>\n"
                "    <signal name=\"NewTitle\"/>\n"
                "    <signal name=\"NewIcon\"/>\n"
                "    <signal name=\"NewAttentionIcon\"/>\n"
                "    <signal name=\"NewOverlayIcon\"/>\n"
                "    <signal name=\"NewToolTip\"/>\n"
                "    <signal name=\"NewMenu\"/>\n"
                "    <signal name=\"NewStatus\"><arg name=\"status\" type=\"s\"/></signal>\n"
                "  </interface>\n")
    Q_PROPERTY(QString AttentionIconName READ attentionIconName)
    Q_PROPERTY(dz::TrayItemImages AttentionIconPixmap READ attentionIconPixmap)
    Q_PROPERTY(QString AttentionMovieName READ attentionMovieName)
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(dz::TrayItemImages IconPixmap READ iconPixmap)
    Q_PROPERTY(QString IconThemePath READ iconThemePath)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
    Q_PROPERTY(QString OverlayIconName READ overlayIconName)
    Q_PROPERTY(dz::TrayItemImages OverlayIconPixmap READ overlayIconPixmap)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(dz::TrayItemToolTip ToolTip READ toolTip)

  public:
    // Takes the place of Qt's adaptor on the item `tray` has registered, or
    // updates the folder when it has already; false when there is no such
    // item (no StatusNotifier host, or an XEmbed tray).
    static bool attach(QSystemTrayIcon* tray, const QString& themePath);
    // The pixmaps of `icon` at the sizes it offers.
    static TrayItemImages images(const QIcon& icon);

    QString attentionIconName() const { return text("AttentionIconName"); }
    TrayItemImages attentionIconPixmap() const { return {}; }
    QString attentionMovieName() const { return text("AttentionMovieName"); }
    QString category() const { return text("Category"); }
    QString iconName() const { return text("IconName"); }
    TrayItemImages iconPixmap() const;
    QString iconThemePath() const { return themePath_; }
    QString id() const { return text("Id"); }
    bool itemIsMenu() const { return value("ItemIsMenu").toBool(); }
    QDBusObjectPath menu() const { return value("Menu").value<QDBusObjectPath>(); }
    QString overlayIconName() const { return text("OverlayIconName"); }
    TrayItemImages overlayIconPixmap() const { return {}; }
    QString status() const { return text("Status"); }
    QString title() const { return text("Title"); }
    TrayItemToolTip toolTip() const;

  public slots:
    void Activate(int x, int y);
    void ContextMenu(int x, int y);
    void Scroll(int delta, const QString& orientation);
    void SecondaryActivate(int x, int y);

  signals:
    void NewAttentionIcon();
    void NewIcon();
    void NewOverlayIcon();
    void NewStatus(const QString& status);
    void NewTitle();
    void NewToolTip();
    void NewMenu();

  private:
    TrayItemAdaptor(QObject* item, QObject* qtAdaptor, QSystemTrayIcon* tray, QString themePath);
    QVariant value(const char* name) const;
    QString text(const char* name) const { return value(name).toString(); }

    QObject* qt_;
    QPointer<QSystemTrayIcon> tray_;
    QString themePath_;
};

QDBusArgument& operator<<(QDBusArgument& argument, const TrayItemImage& image);
const QDBusArgument& operator>>(const QDBusArgument& argument, TrayItemImage& image);
QDBusArgument& operator<<(QDBusArgument& argument, const TrayItemToolTip& tip);
const QDBusArgument& operator>>(const QDBusArgument& argument, TrayItemToolTip& tip);

}  // namespace dz

Q_DECLARE_METATYPE(dz::TrayItemImage)
Q_DECLARE_METATYPE(dz::TrayItemToolTip)
