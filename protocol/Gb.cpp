#include "protocol/Gb.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>

namespace gb {

bool available() {
    return QStringDecoder("GB2312").isValid() && QStringEncoder("GB2312").isValid();
}

QString toDisplay(const QByteArray& bytes) {
    QStringDecoder decoder("GB2312");
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

QByteArray fromTyped(const QString& text) {
    QStringEncoder encoder("GB2312");
    if (!encoder.isValid())
        return text.toLatin1();
    return encoder.encode(text);
}

bool canHold(const QString& text) {
    QStringEncoder encoder("GB2312");
    if (!encoder.isValid())
        return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x100; });
    const QByteArray bytes = encoder.encode(text); // the conversion runs only when taken
    return !encoder.hasError();
}

} // namespace gb
