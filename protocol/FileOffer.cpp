#include "protocol/FileOffer.h"

#include "protocol/Gb.h"

#include <QRegularExpression>

namespace fileoffer {

QString sizeText(qint64 bytes) {
    if (bytes < 1024)
        return QStringLiteral("%1 B").arg(bytes);
    const char* units[] = {"KB", "MB", "GB", "TB"};
    double value = double(bytes) / 1024;
    int unit = 0;
    while (value >= 1024 && unit < 3) {
        value /= 1024;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(value, 0, 'f', 1).arg(QLatin1String(units[unit]));
}

QString shownName(const QString& name) {
    QString shown;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const qsizetype length = name[i].isHighSurrogate() && i + 1 < name.size() ? 2 : 1;
        const QString one = name.mid(i, length);
        shown += gb::canHold(one) ? one : QStringLiteral("_");
        i += length - 1;
    }
    return shown;
}

QString urlName(const QString& name) {
    static const QString kept = QStringLiteral("-._~!$&'()*+,;=:@");
    QString out;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const qsizetype length = name[i].isHighSurrogate() && i + 1 < name.size() ? 2 : 1;
        const QString one = name.mid(i, length);
        i += length - 1;
        const QChar c = one[0];
        const bool ascii = c.unicode() < 0x80;
        if ((ascii && (c.isLetterOrNumber() || kept.contains(c))) ||
            (!ascii && !c.isSpace() && gb::canHold(one)))
            out += one;
        else
            out += QString::fromLatin1(one.toUtf8().toPercentEncoding());
    }
    return out;
}

QString text(const QString& name, qint64 size, const QString& base, const QString& token,
             bool picture) {
    return QStringLiteral("%1 %2 (%3) %4/f/%5/%6")
        .arg(picture ? QStringLiteral("[图片]") : QStringLiteral("[文件]"), shownName(name),
             sizeText(size), base, token, urlName(name));
}

QString safeName(const QString& name) {
    QString last = name;
    last.replace(QLatin1Char('\\'), QLatin1Char('/'));
    last = last.section(QLatin1Char('/'), -1);
    QString clean;
    for (const QChar c : last) {
        if (c.category() != QChar::Other_Control && c.category() != QChar::Other_Format &&
            c != QChar(0x7f))
            clean += c;
    }
    while (clean.contains(QStringLiteral("..")))
        clean.replace(QStringLiteral(".."), QStringLiteral("."));
    clean = clean.trimmed();
    if (clean.isEmpty() || clean == QStringLiteral("."))
        clean = QStringLiteral("文件");
    // Half a surrogate pair is no character: the name would not survive its URL.
    qsizetype keep = std::min<qsizetype>(clean.size(), 200);
    if (keep < clean.size() && clean[keep - 1].isHighSurrogate())
        --keep;
    return clean.left(keep);
}

std::optional<Offer> find(const QString& line) {
    static const QRegularExpression offer(
        QStringLiteral(R"(\[(文件|图片)\] (.+) \((\d+(?:\.\d)? (?:B|KB|MB|GB|TB))\) ()"
                       R"(https?://[0-9A-Za-z.\-\[\]:]+/f/([0-9a-f]{32})/([^\s/]+))\s*$)"));
    const QRegularExpressionMatch m = offer.match(line);
    if (!m.hasMatch())
        return std::nullopt;
    // A typed line could show one name and save another: such a line is only text.
    const QString saved =
        QString::fromUtf8(QByteArray::fromPercentEncoding(m.captured(6).toUtf8()));
    if (m.captured(2) != shownName(saved))
        return std::nullopt;
    return Offer{m.captured(2), m.captured(3), m.captured(4),
                 m.captured(5), m.captured(6), m.captured(1) == QStringLiteral("图片")};
}

} // namespace fileoffer
