// dz_atspi_window: one Qt window that the accessibility bus knows. Prints
// "active" once the window manager has given it focus, then waits to be
// stopped. For the look-up of the application in front.
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <QWindow>
#include <cstdio>

int main(int argc, char** argv) {
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    QApplication app(argc, argv);
    QLabel window(QStringLiteral("in front"));
    window.setWindowTitle(QStringLiteral("dz-atspi-window"));
    window.show();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!window.windowHandle() || !window.windowHandle()->isActive()) {
            window.activateWindow();
            return;
        }
        std::printf("active\n");
        std::fflush(stdout);
        poll.stop();
    });
    poll.start(50);
    return app.exec();
}
