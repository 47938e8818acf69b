// dozuzavuvu-screenshots DIR: the README's pictures. Builds the program's own
// tray menu and settings window over in-memory settings and fake desktop
// services in a plausible state (a copy just made in a browser, a rule or two,
// Markdown as the default format), shows them on the X display and saves
// tray-menu.png, settings-general.png and settings-try-it.png in DIR, with
// tray-icons-dark-panel.png and tray-icons-light-panel.png: the six icons as
// the tray draws them on either kind of panel, plain and dimmed.
// Meant for a private X server (scripts/screenshots runs it under Xvfb).

#include <cstdio>
#include <functional>
#include <string>

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QSet>
#include <QTabWidget>
#include <QTimer>
#include <QWindow>

#include "app/controller/AppController.h"
#include "app/controller/StatusItemBridge.h"
#include "app/menu/StatusItemController.h"
#include "app/platform/fakes/FakePlatform.h"
#include "app/settings/AppSettings.h"
#include "app/settings/MemorySettingsStorage.h"
#include "app/tryit/TryItBinding.h"
#include "app/tryit/TryItTab.h"
#include "core/clipboard/PasteboardTypes.h"
#include "ui/MenuBarIconArt.h"
#include "ui/ProgramServices.h"
#include "ui/SettingsWindow.h"
#include "ui/TrayIcon.h"
#include "ui/TrayIconEngine.h"
#include "ui/tabs/TryItTabView.h"

namespace dz {
namespace {

constexpr int panelHeight = 28;
constexpr int iconX = 1160;  // the tray icon's left edge on the panel

// The program's services, except that the pictured desktop has a tray: the
// X server the pictures are taken on has none, and the General tab would
// say so.
class PicturedServices final : public ProgramServices {
  public:
    using ProgramServices::ProgramServices;
    bool trayAvailable() const override { return true; }
};

// A plain desktop with a panel holding the tray icon, behind the menu.
class Desktop final : public QWidget {
  public:
    explicit Desktop(const StatusItemController::Appearance& appearance)
        : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint),
          appearance_(appearance) {}

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(0xd5, 0xdb, 0xe3));
        painter.fillRect(0, 0, width(), panelHeight, QColor(0x2b, 0x30, 0x3b));
        // The icon as the tray shows it, on a pressed-looking cell.
        painter.fillRect(iconX - 5, 0, 28, panelHeight, QColor(0x4a, 0x52, 0x61));
        const QPixmap icon = MenuBarIconArt::pixmap(appearance_.icon, Qt::white, appearance_.dimmed, 18);
        painter.drawPixmap(iconX, (panelHeight - 18) / 2, icon);
    }

  private:
    StatusItemController::Appearance appearance_;
};

// Runs the event loop for `ms` so the window manager and the X server catch up.
void settle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until `done` holds, for at most five seconds.
bool waitFor(const std::function<bool()>& done) {
    for (int waited = 0; waited < 5000; waited += 20) {
        if (done())
            return true;
        settle(20);
    }
    return done();
}

bool exposed(const QWidget& widget) {
    return widget.windowHandle() && widget.windowHandle()->isExposed();
}

int fail(const char* message) {
    std::fprintf(stderr, "dozuzavuvu-screenshots: %s\n", message);
    return 1;
}

// A grab of a window that never got drawn is one flat colour; a real
// picture has text and edges in many shades.
bool looksDrawn(const QImage& image) {
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3) colours.insert(image.pixel(x, y));
    return colours.size() > 16;
}

bool save(const QImage& image, const QString& path) {
    if (image.isNull() || !looksDrawn(image)) {
        std::fprintf(stderr, "dozuzavuvu-screenshots: %s came out blank\n", qPrintable(path));
        return false;
    }
    // Highest compression: the pictures live in the repository.
    if (!image.save(path, "PNG", 0)) {
        std::fprintf(stderr, "dozuzavuvu-screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

// A panel strip with every icon in the colour the tray picks for that kind of
// desktop: each icon as shown, then dimmed.
QImage panelStrip(DesktopColorScheme scheme) {
    const bool dark = scheme == DesktopColorScheme::dark;
    const QColor panel = dark ? QColor(0x2b, 0x30, 0x3b) : QColor(0xf0, 0xf0, 0xf0);
    const QColor color = TrayIcon::iconColor(true, std::nullopt, scheme);
    constexpr int cell = 30, gap = 16;
    const int count = int(menubaricon::allCases.size());
    QImage image(2 * count * cell + gap, panelHeight, QImage::Format_ARGB32);
    image.fill(panel);
    QPainter painter(&image);
    for (bool dimmed : {false, true})
        for (int i = 0; i < count; ++i) {
            const QIcon icon(new TrayIconEngine(menubaricon::allCases[size_t(i)], color, dimmed));
            const int x = (dimmed ? count * cell + gap : 0) + i * cell + (cell - 18) / 2;
            painter.drawPixmap(x, (panelHeight - 18) / 2, icon.pixmap(18, 18));
        }
    return image;
}

QImage grabScreen(const QRect& area) {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage();
}

// The running program's state: a few applications, Markdown as the default
// format, a rule for the editor the user pastes into, and a copy just made
// from an encyclopedia article in the browser.
void prepare(fake::FakePlatform& fakes, AppSettings& settings, AppController& controller) {
    fakes.workspace.running = {{"org.gnome.TextEditor", "Text Editor", 100},
                               {"firefox-esr", "Firefox", 200},
                               {"libreoffice-calc", "LibreOffice Calc", 300}};
    fakes.workspace.frontmost = "org.gnome.TextEditor";
    fakes.pageAddresses.answers["firefox-esr"] = {"https://en.wikipedia.org/wiki/Lisbon", 0.1};
    controller.start();
    fakes.scheduler.runDue();

    controller.actions().setDefaultFormat(OutputFormat::markdown);
    AppRule editor = AppRule::forApp(RuleDirection::destination, "org.gnome.TextEditor", "Text Editor");
    editor.format = RuleFormat::plain;
    settings.addRule(editor);
    fakes.scheduler.runDue();

    const std::string html =
        "<h1>Lisbon</h1><p><b>Lisbon</b> is the capital and largest city of Portugal, on the northern bank "
        "of "
        "the Tagus estuary.<sup>[1]</sup></p>";
    const std::string plain =
        "Lisbon\nLisbon is the capital and largest city of Portugal, on the northern bank of the Tagus "
        "estuary.[1]";
    fakes.clipboard.copy(
        {{std::string(pasteboardtype::html), html}, {std::string(pasteboardtype::string), plain}},
        Clipboard::Party{"firefox-esr", 200});
    fakes.scheduler.advance(0.3);  // the page address arrives after the copy
}

int run(const QString& folder) {
    fake::FakePlatform fakes;
    MemorySettingsStorage storage;
    AppSettings settings(storage);
    AppController controller(settings, fakes.platform());
    prepare(fakes, settings, controller);

    PicturedServices services(controller, ProgramServices::Backend{});
    TryItTab tryIt(settings, tryItServices(controller));
    auto* tryItView = new TryItTabView(settings, tryIt);
    SettingsWindow window(settings, SettingsWindow::Services::of(services), tryItView);
    StatusItemController status(
        settings, fakes.scheduler, [&controller] { return statusItemState(controller); },
        statusItemActions(
            controller, [] {}, [] {}));
    bool ok = true;

    // The tray menu, opened under the icon with the browser's rule submenu out.
    {
        Desktop desktop(status.appearance());
        desktop.setGeometry(QGuiApplication::primaryScreen()->geometry());
        desktop.show();
        if (!waitFor([&] { return exposed(desktop); }))
            return fail("the desktop never showed");

        QMenu menu;
        menu.setToolTipsVisible(true);
        TrayIcon::render(&menu, status.buildMenu(),
                         [&status](const MenuItem& item) { status.perform(item); });
        const QSize size = menu.sizeHint();
        menu.popup(QPoint(iconX + 23 - size.width() - 180, panelHeight));
        if (!waitFor([&] { return exposed(menu); }))
            return fail("the menu never showed");
        // The picture is of a menu after a copy: its last-copy line and the
        // browser's rule submenu must be there.
        QAction* open = nullptr;
        bool lastCopy = false;
        for (QAction* action : menu.actions()) {
            lastCopy = lastCopy || action->text().startsWith(QStringLiteral("Last copy: Firefox"));
            if (action->menu() && action->text().contains(QStringLiteral("Copying from \u201CFirefox\u201D")))
                open = action;
        }
        if (!lastCopy || !open)
            return fail("the menu lacks the browser copy's line or its rule submenu");
        menu.setActiveAction(open);
        if (!waitFor([&] { return exposed(*open->menu()); }))
            return fail("the rule submenu never opened");
        QRect area = menu.geometry() | open->menu()->geometry();
        area = area.adjusted(-24, 0, 24, 24);
        area.setTop(0);
        area.setRight(std::max(area.right(), iconX + 40));
        settle(150);  // the last paint reaches the server
        ok = save(grabScreen(area), folder + "/tray-menu.png") && ok;
        menu.hide();
        desktop.hide();
        waitFor([&] { return !exposed(desktop); });
    }

    // Two tabs of the settings window, with the window manager's frame.
    for (auto [tab, name] : {std::pair{SettingsTab::general, "settings-general.png"},
                             std::pair{SettingsTab::tryIt, "settings-try-it.png"}}) {
        window.show(tab);
        if (!waitFor([&] { return exposed(window); }))
            return fail("the settings window never showed");
        window.move(60, 40);
        // Framed once the window manager has told us its frame's size.
        waitFor(
            [&] { return window.frameGeometry() != window.geometry() && window.pos() == QPoint(60, 40); });
        settle(150);
        ok = save(grabScreen(window.frameGeometry()), folder + "/" + name) && ok;
    }
    window.hide();

    ok = save(panelStrip(DesktopColorScheme::dark), folder + "/tray-icons-dark-panel.png") && ok;
    ok = save(panelStrip(DesktopColorScheme::light), folder + "/tray-icons-light-panel.png") && ok;
    return ok ? 0 : 1;
}

}  // namespace
}  // namespace dz

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: dozuzavuvu-screenshots DIR\n");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dozuzavuvu"));
    QApplication::setWindowIcon(dz::MenuBarIconArt::applicationIcon());
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        std::fprintf(stderr, "dozuzavuvu-screenshots: needs an X display (run it under run-under-x.sh)\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "dozuzavuvu-screenshots: cannot create %s\n", argv[1]);
        return 1;
    }
    return dz::run(folder);
}
