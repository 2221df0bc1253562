#include "protocol/TypedLine.h"

#include <QRegularExpression>

namespace typing {

QString oneLine(const QString& text) {
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|[\r\n\u2028\u2029]"));
    QString line = text;
    return line.replace(lineBreak, QStringLiteral(" "));
}

QString tooLongNotice() {
    return QStringLiteral("发言太长了,请分几次发送!");
}

} // namespace typing
