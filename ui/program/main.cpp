// dozuzavuvu [URL...]: the desktop program. Builds the object graph once and
// runs Qt's event loop; a second start hands its addresses to the first.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QCommandLineParser>
#include <QSocketNotifier>

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>
#include <csignal>

#include "app/controller/AppController.h"
#include "app/controller/StartUp.h"
#include "app/controller/StatusItemBridge.h"
#include "app/menu/StatusItemController.h"
#include "app/platform/Platform.h"
#include "app/platform/SpellChecker.h"
#include "app/settings/AppSettings.h"
#include "app/settings/FileSettingsStorage.h"
#include "app/settings/MemorySettingsStorage.h"
#include "app/tryit/TryItBinding.h"
#include "app/tryit/TryItTab.h"
#include "linux/HunspellDictionary.h"
#include "linux/LinuxDesktop.h"
#include "linux/ThreadWorker.h"
#include "linux/portal/PortalShortcutBinding.h"
#include "linux/wayland/ClipboardKeeper.h"
#include "linux/workspace/AppIdentity.h"
#include "linux/x11/SystemTrayColors.h"
#include "ui/MenuBarIconArt.h"
#include "ui/ProgramServices.h"
#include "ui/QtScheduler.h"
#include "ui/SettingsWindow.h"
#include "ui/SingleInstance.h"
#include "ui/TrayIcon.h"
#include "ui/tabs/TryItTabView.h"

namespace dz {
namespace {

// The user's dictionary behind the PDF reflower's word test, opened the
// first time a hyphenated line end needs it (most sessions never do); every
// word passes when none is installed.
class DictionarySpelling final : public SpellChecker {
  public:
    DictionarySpelling() : isWord_(HunspellDictionary::lazyPredicateForUserLanguage()) {}
    bool isWord(std::string_view text) const override { return !isWord_ || isWord_(text); }

  private:
    std::function<bool(std::string_view)> isWord_;
};

std::vector<DesktopApplication> installedApplications(x11::AppIdentity& identity) {
    std::vector<DesktopApplication> apps;
    for (const auto& entry : identity.installed()) {
        if (entry.hidden || entry.id == x11::AppIdentity::ownID)
            continue;
        apps.push_back({entry.id, entry.name.value_or(entry.id), entry.icon.value_or(std::string())});
    }
    return apps;
}

// SIGTERM (logging out), SIGINT and SIGHUP end the event loop normally, so
// the clipboard is still handed to a clipboard manager.
int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(signalPipe[1], &byte, 1);
}

void quitOnSignals() {
    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] { QCoreApplication::quit(); });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) sigaction(signal, &action, nullptr);
}

std::vector<std::string> addresses(const QStringList& urls) {
    std::vector<std::string> out;
    out.reserve(size_t(urls.size()));
    for (const QString& url : urls) out.push_back(url.toStdString());
    return out;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "dozuzavuvu: %s\n", message.c_str());
    return 1;
}

}  // namespace
}  // namespace dz

int main(int argc, char** argv) {
    using namespace dz;
    // A copy and its renditions are blocks of megabytes. From the heap, the
    // memory they leave is held on to between the program's small blocks;
    // mapped apart, it goes back to the system when they are freed. A fixed
    // threshold also keeps glibc from raising it after the first large free.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    // Started by ourselves at quit on Wayland to keep the last copy pasteable:
    // no window, no settings, nothing but the clipboard.
    if (argc >= 2 && argv[1] == wayland::ClipboardKeeper::argument)
        return wayland::ClipboardKeeper::run(std::vector<std::string>(argv + 2, argv + argc));
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Dozuzavuvu"));
    QApplication::setApplicationVersion(QStringLiteral(DZ_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("dev.dozuzavuvu"));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(MenuBarIconArt::applicationIcon());

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Cleans what you copy. Addresses such as dozuzavuvu://toggle "
                       "are handed to the running program."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("URL"),
                                 QStringLiteral("dozuzavuvu:// addresses to run, in order"),
                                 QStringLiteral("[URL...]"));
    // The desktop file's handler passes it: a web page can open our addresses
    // too, and must not make the program press keys.
    const QCommandLineOption fromLinkOption(
        QStringLiteral("from-link"),
        QStringLiteral("The addresses come from a link: pastes wait for your own Ctrl+V."));
    parser.addOption(fromLinkOption);
    parser.process(app);
    const QStringList urls = parser.positionalArguments();
    const bool fromLink = parser.isSet(fromLinkOption);
    auto origin = [](bool link) {
        return link ? AutomationCommands::Origin::link : AutomationCommands::Origin::user;
    };

    SingleInstance instance;
    switch (instance.claim(urls, fromLink)) {
        case SingleInstance::Role::forwarded:
            return 0;
        case SingleInstance::Role::failed:
            return fail(instance.errorString().toStdString());
        case SingleInstance::Role::primary:
            break;
    }

    // Settings first: everything else reads them.
    std::unique_ptr<SettingsStorage> storage;
    if (auto folder = FileSettingsStorage::defaultDirectory())
        storage = std::make_unique<FileSettingsStorage>(*folder);
    else
        storage = std::make_unique<MemorySettingsStorage>();
    AppSettings settings(*storage);

    // The desktop.
    QtScheduler scheduler;
    std::string error;
    auto session = LinuxDesktop::open(scheduler, &error);
    if (!session)
        return fail(error.empty() ? "no X display" : error);
    const wayland::BackendChoice& choice = session->choice();
    if (!choice.status.empty())
        std::fprintf(stderr, "dozuzavuvu: %s\n", choice.status.c_str());
    DictionarySpelling spelling;
    // After the services its jobs use, so that it stops first.
    ThreadWorker worker(scheduler);
    const Platform platform{session->clipboard(),
                            session->workspace(),
                            session->keys(),
                            session->hotKeys(),
                            session->keystrokes(),
                            session->pageAddresses(),
                            session->system(),
                            spelling,
                            scheduler,
                            worker,
                            session->windows()};

    // The program.
    AppController controller(settings, platform);
    ProgramServices::Backend backend;
    backend.installedApplications = [&session] { return installedApplications(session->identity()); };
    backend.browserAccess = [] { return x11::AtspiPageAddress::accessibilityEnabled().value_or(false); };
    backend.enableBrowserAccess = [] { return x11::AtspiPageAddress::setAccessibilityEnabled(true); };
    backend.displayNotice = choice.status;
    switch (choice.pasters) {
        case wayland::IdentifiedPasters::everyApplication:
            backend.pastingApps = PastingAppIdentification::everyApplication;
            break;
        case wayland::IdentifiedPasters::x11ApplicationsOnly:
            backend.pastingApps = PastingAppIdentification::x11ApplicationsOnly;
            break;
        case wayland::IdentifiedPasters::none:
            backend.pastingApps = PastingAppIdentification::none;
            break;
    }
    // On a Wayland desktop our key grabs and the tap see X11 applications
    // only: the desktop's shortcuts portal holds the shortcuts where it
    // exists, and otherwise the user binds desktop shortcuts to our addresses.
    ProgramServices* servicesForPortal = nullptr;
    std::unique_ptr<portal::PortalShortcutBinding> portalShortcuts;
    if (session->waylandSession()) {
        portalShortcuts = portal::PortalShortcutBinding::open(settings, controller.actions(), scheduler, [&] {
            if (servicesForPortal)
                servicesForPortal->desktopTriggersChanged();
        });
        backend.shortcutRoute =
            portalShortcuts ? KeystrokeSupport::ShortcutRoute::portal : KeystrokeSupport::ShortcutRoute::none;
        backend.tapAvailable = false;
        if (!session->virtualKeyboard() && session->x11())
            backend.keystrokesNote =
                "Typed through XTest into X11 applications only; elsewhere a paste shortcut waits "
                "for your own Ctrl+V.";
        else if (!session->virtualKeyboard())
            backend.keystrokesMissing =
                "Not available: no keys can be typed in this session. The paste shortcuts wait for your own "
                "Ctrl+V.";
        if (portalShortcuts) {
            backend.desktopTrigger = [&portalShortcuts](ShortcutAction action) {
                return portalShortcuts->trigger(action);
            };
            if (portalShortcuts->canConfigure())
                backend.openDesktopShortcutSettings = [&portalShortcuts] { portalShortcuts->configure(); };
        }
    }
    if (session->virtualKeyboard()) {
        backend.keystrokesRoute = "Typed through the compositor's virtual keyboard";
        backend.keystrokesMissing =
            "Not available: the compositor closed its virtual keyboard. The paste shortcuts "
            "wait for your own Ctrl+V.";
    }
    ProgramServices services(controller, backend);
    servicesForPortal = &services;
    TryItTab tryIt(settings, tryItServices(controller));
    // Built when first opened: its tabs take more memory than all the rest.
    std::unique_ptr<SettingsWindow> settingsWindow;
    auto window = [&]() -> SettingsWindow& {
        if (!settingsWindow)
            settingsWindow = std::make_unique<SettingsWindow>(
                settings, SettingsWindow::Services::of(services), new TryItTabView(settings, tryIt));
        return *settingsWindow;
    };
    StatusItemController status(
        settings, scheduler,
        [&controller, &services] {
            StatusItemState state = statusItemState(controller);
            state.pastingRulesNotice =
                pastingRulesNotice(controller.settings().data().hasDestinationRules(),
                                   services.interceptorActive(), services.pastingApps());
            return state;
        },
        statusItemActions(
            controller, [&window] { window().show(); }, [] { QApplication::quit(); }));
    TrayIcon tray(status);
    tray.trayForeground = [&session]() -> std::optional<QColor> {
        // An XEmbed tray's colours; a Wayland desktop without Xwayland has none.
        if (!session->x11())
            return std::nullopt;
        if (auto rgb = x11::systemTrayForeground())
            return QColor::fromRgba64((*rgb)[0], (*rgb)[1], (*rgb)[2]);
        return std::nullopt;
    };

    DesktopHooks hooks;
    hooks.installStatusItem = [&tray, &status, &controller] {
        tray.install();
        // Icon and tool tip follow the state from then on.
        status.install(controller.stateChanged);
    };
    hooks.openSettings = [&window] { window().show(); };
    hooks.revealIcon = [&status](double seconds) { status.revealTemporarily(seconds); };
    // Without a tray host the window is the only way in.
    auto reopen = [&] {
        if (TrayIcon::hostAvailable())
            dz::reopen(settings, hooks);
        else
            window().show();
    };
    QObject::connect(&instance, &SingleInstance::activated, &app, reopen);
    QObject::connect(&instance, &SingleInstance::opened, &app,
                     [&controller, origin](const QStringList& opened, bool link) {
                         controller.commands().open(addresses(opened), origin(link));
                     });
    auto settingsRequested = controller.settingsRequested.subscribe([&window] { window().show(); });

    startUp(settings, controller, hooks);
    controller.commands().open(addresses(urls), origin(fromLink));

    quitOnSignals();
    // Settings are saved on every change; only the clipboard needs handing on.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, [&session] { session->shutdown(); });
    const int exitStatus = app.exec();
    // A render still running would hold up the exit for seconds; nothing of
    // it is worth waiting for, and the objects it reads go away with us.
    if (!worker.waitIdle(std::chrono::milliseconds(200))) {
        std::fflush(nullptr);
        std::_Exit(exitStatus);
    }
    return exitStatus;
}
