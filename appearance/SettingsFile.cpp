#include "appearance/SettingsFile.h"

#include "protocol/Errors.h"

#include <QFile>
#include <QFileInfo>

namespace appearance {

QList<QByteArray> splitLines(const QByteArray& content) {
    const qsizetype end = content.contains('\0') ? content.indexOf('\0') : content.size();
    QList<QByteArray> lines;
    qsizetype i = 0;
    while (i < end) {
        const qsizetype start = i;
        while (i < end && content[i] != '\r' && content[i] != '\n')
            ++i;
        lines.append(content.mid(start, i - start));
        if (i < end && content[i] == '\r')
            ++i;
        if (i < end && content[i] == '\n')
            ++i;
    }
    return lines;
}

QByteArray joinLines(const QList<QByteArray>& lines) {
    QByteArray out;
    for (const QByteArray& line : lines)
        out += line + "\r\n";
    return out;
}

bool settingsFileExists(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

QList<QByteArray> readSettingsFile(const QString& path) {
    QFile file(path);
    // A pipe or socket of that name would block or fail; it is no settings file.
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly))
        throw errors::cannotOpen(path);
    return splitLines(file.readAll());
}

void writeSettingsFile(const QString& path, const QList<QByteArray>& lines) {
    const QFileInfo info(path);
    QFile file(path);
    if ((info.exists() && !info.isFile()) || !file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw errors::cannotCreate(path);
    file.write(joinLines(lines));
}

} // namespace appearance
