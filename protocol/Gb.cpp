#include "protocol/Gb.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>

namespace gb {

namespace {

// Opening an ICU converter looks its name up in ICU's alias tables, which costs
// more than converting a line; every log line and every typed line passes here,
// so each thread keeps one of each and resets it before use.
QStringDecoder& decoder() {
    thread_local QStringDecoder d("GB2312");
    d.resetState();
    return d;
}

QStringEncoder& encoder() {
    thread_local QStringEncoder e("GB2312");
    e.resetState();
    return e;
}

} // namespace

bool available() {
    return decoder().isValid() && encoder().isValid();
}

QString toDisplay(const QByteArray& bytes) {
    QStringDecoder& d = decoder();
    if (!d.isValid())
        return QString::fromLatin1(bytes);
    return d.decode(bytes);
}

QByteArray fromTyped(const QString& text) {
    QStringEncoder& e = encoder();
    if (!e.isValid())
        return text.toLatin1();
    return e.encode(text);
}

bool canHold(const QString& text) {
    // A converter of its own: resetting a shared ICU one keeps its error count.
    QStringEncoder e("GB2312");
    if (!e.isValid())
        return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x100; });
    const QByteArray bytes = e.encode(text); // the conversion runs only when taken
    return !e.hasError();
}

} // namespace gb
