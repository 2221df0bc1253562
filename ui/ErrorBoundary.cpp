#include "ui/ErrorBoundary.h"

#include "ui/Dialogs.h"

#include <QApplication>
#include <QList>
#include <algorithm>

namespace {

// Errors raised while the box is open: a box each would bury the user under
// nested modal loops, so they are counted into the open one instead.
struct OpenErrorBox {
    bool open = false;
    int folded = 0;
    QList<std::pair<QString, int>> distinct; // text, times
    int otherTexts = 0;
};

// Beyond this many different texts the rest is only counted, so memory stays flat.
constexpr qsizetype kMaxDistinctTexts = 20;

OpenErrorBox& openBox() {
    static OpenErrorBox box;
    return box;
}

QString details(const OpenErrorBox& box) {
    QString out =
        QStringLiteral("%1 more error(s) occurred while this message was shown:").arg(box.folded);
    for (const auto& [text, times] : box.distinct)
        out += QStringLiteral("\n%1 x %2").arg(times).arg(text);
    if (box.otherTexts > 0)
        out += QStringLiteral("\n%1 x other errors").arg(box.otherTexts);
    return out;
}

void fold(OpenErrorBox& box, const QString& text) {
    ++box.folded;
    auto same = std::find_if(box.distinct.begin(), box.distinct.end(),
                             [&](const auto& entry) { return entry.first == text; });
    if (same != box.distinct.end())
        ++same->second;
    else if (box.distinct.size() < kMaxDistinctTexts)
        box.distinct.append({text, 1});
    else
        ++box.otherTexts;
    Dialogs::instance().errorDetails(details(box));
}

} // namespace

QString errorText(const QString& text) {
    if (!text.isEmpty() && text.back() > QLatin1Char('.'))
        return text + QLatin1Char('.');
    return text;
}

void showErrorBox(QWidget* parent, const QString& text) {
    OpenErrorBox& box = openBox();
    if (box.open) {
        fold(box, text);
        return;
    }
    box.open = true;
    struct Closed {
        ~Closed() { openBox() = OpenErrorBox(); }
    } closed; // what was folded is not shown again
    Dialogs::instance().error(parent, text);
}

void reportError(const std::exception& error) {
    showErrorBox(QApplication::activeWindow(), errorText(QString::fromUtf8(error.what())));
}

void reportUnknownError() {
    showErrorBox(QApplication::activeWindow(), errorText(QStringLiteral("Unknown error")));
}
