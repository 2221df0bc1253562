#include "TAbstractSocket.h"

#include "ESocketError.h"

namespace {
// Names compare without regard to the case of a-z only, like the platform's own names.
bool sameIgnoringAsciiCase(const QString& a, const QString& b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        char16_t x = a[i].unicode();
        char16_t y = b[i].unicode();
        if (x >= u'A' && x <= u'Z')
            x += u'a' - u'A';
        if (y >= u'A' && y <= u'Z')
            y += u'a' - u'A';
        if (x != y)
            return false;
    }
    return true;
}
} // namespace

void TAbstractSocket::setActive(bool Value) {
    if (Value != active_)
        ApplyActive(Value);
}

void TAbstractSocket::setPort(int Value) {
    if (Value == port_)
        return;
    if (active_)
        throw ESocketError(SocketMessages::CantChangeActive);
    port_ = Value;
}

void TAbstractSocket::setText(QString& field, const QString& Value) {
    if (sameIgnoringAsciiCase(field, Value))
        return;
    if (active_)
        throw ESocketError(SocketMessages::CantChangeActive);
    field = Value;
}

void TAbstractSocket::setAddress(const QString& Value) {
    setText(address_, Value);
}

void TAbstractSocket::setHost(const QString& Value) {
    setText(host_, Value);
}

void TAbstractSocket::setService(const QString& Value) {
    setText(service_, Value);
}
