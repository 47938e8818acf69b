#pragma once
// Qt's StatusNotifierItem sends the icon's theme name but no IconThemePath,
// so a host finds our symbolic icons only when they are installed where it
// looks. This adaptor takes the place of Qt's on the item's D-Bus object:
// every property, method and signal passes through to Qt's own adaptor, and
// IconThemePath names the folder our icons are in.

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QString>
#include <QVariant>

namespace dz {

class StatusNotifierThemePath : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    // The pixmaps and the tool tip pass through as Qt marshals them; the
    // description gives their real types.
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
    Q_PROPERTY(QVariant AttentionIconPixmap READ attentionIconPixmap)
    Q_PROPERTY(QString AttentionMovieName READ attentionMovieName)
    Q_PROPERTY(QString Category READ category)
    Q_PROPERTY(QString IconName READ iconName)
    Q_PROPERTY(QVariant IconPixmap READ iconPixmap)
    Q_PROPERTY(QString IconThemePath READ iconThemePath)
    Q_PROPERTY(QString Id READ id)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ menu)
    Q_PROPERTY(QString OverlayIconName READ overlayIconName)
    Q_PROPERTY(QVariant OverlayIconPixmap READ overlayIconPixmap)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QString Title READ title)
    Q_PROPERTY(QVariant ToolTip READ toolTip)

  public:
    // Puts the folder on the tray item this process has registered, once;
    // false when there is none (no StatusNotifier host, or an XEmbed tray).
    static bool attach(const QString& themePath);

    QString attentionIconName() const { return text("AttentionIconName"); }
    QVariant attentionIconPixmap() const { return value("AttentionIconPixmap"); }
    QString attentionMovieName() const { return text("AttentionMovieName"); }
    QString category() const { return text("Category"); }
    QString iconName() const { return text("IconName"); }
    QVariant iconPixmap() const { return value("IconPixmap"); }
    QString iconThemePath() const { return themePath_; }
    QString id() const { return text("Id"); }
    bool itemIsMenu() const { return value("ItemIsMenu").toBool(); }
    QDBusObjectPath menu() const { return value("Menu").value<QDBusObjectPath>(); }
    QString overlayIconName() const { return text("OverlayIconName"); }
    QVariant overlayIconPixmap() const { return value("OverlayIconPixmap"); }
    QString status() const { return text("Status"); }
    QString title() const { return text("Title"); }
    QVariant toolTip() const { return value("ToolTip"); }

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
    StatusNotifierThemePath(QObject* item, QObject* qtAdaptor, QString themePath);
    QVariant value(const char* name) const;
    QString text(const char* name) const { return value(name).toString(); }

    QObject* qt_;
    QString themePath_;
};

}  // namespace dz
