#pragma once

#include <QByteArray>
#include <QString>

// The one place where GB2312 bytes meet display text. Everything else holds bytes.
namespace gb {

// False when this Qt build cannot convert GB2312 (it needs ICU).
bool available();

// Bytes as the user should see them; bytes that are not valid GB2312 show as U+FFFD.
QString toDisplay(const QByteArray& bytes);

// Typed text as GB2312 bytes; characters outside GB2312 become the converter's
// substitute (ICU's is a full-width space).
QByteArray fromTyped(const QString& text);

// False when some character of text has no GB2312 bytes, so fromTyped would substitute it.
bool canHold(const QString& text);

} // namespace gb
