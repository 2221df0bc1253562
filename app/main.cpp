#include "app/RealDialogs.h"
#include "app/TForm1.h"
#include "net/SocketExceptionHook.h"
#include "protocol/Gb.h"
#include "resources/AppIcon.h"
#include "ui/ErrorBoundary.h"

#include <QApplication>
#include <QScreen>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(applicationTitle());
    QApplication::setWindowIcon(appIcon());
    // Lets the desktop match the windows to the installed menu entry.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.pinwa.Pinwa"));

    RealDialogs dialogs;
    Dialogs::install(&dialogs);
    // Errors raised while the socket layer handles a notification reach the user too.
    setSocketExceptionHook([](const std::exception& e) { reportError(e); });

    if (!gb::available()) {
        dialogs.error(nullptr,
                      QStringLiteral("This Qt build cannot convert GB2312 text (it needs ICU); "
                                     "Pinwa cannot talk to other copies without it."));
        return 1;
    }

    TForm1 window;
    window.move(window.screen()->availableGeometry().center() - window.rect().center());
    window.show();
    return app.exec();
}
