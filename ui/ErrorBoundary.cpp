#include "ui/ErrorBoundary.h"

#include "ui/Dialogs.h"

#include <QApplication>

QString errorText(const QString& text) {
    if (!text.isEmpty() && text.back() > QLatin1Char('.'))
        return text + QLatin1Char('.');
    return text;
}

void reportError(const std::exception& error) {
    Dialogs::instance().error(QApplication::activeWindow(),
                              errorText(QString::fromUtf8(error.what())));
}

void reportUnknownError() {
    Dialogs::instance().error(QApplication::activeWindow(),
                              errorText(QStringLiteral("Unknown error")));
}
