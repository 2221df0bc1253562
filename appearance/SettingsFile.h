#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The settings file col.col: lines of text, each ended by CR LF.
namespace appearance {

// Looked up by its bare name, so each working directory has its own settings.
inline const QString settingsFileName = QStringLiteral("col.col");

// Cuts at CR LF, lone CR and lone LF; a last line without a line end counts, and
// everything from the first NUL on is ignored.
QList<QByteArray> splitLines(const QByteArray& content);

// Every line followed by CR LF, the last one too.
QByteArray joinLines(const QList<QByteArray>& lines);

// A folder of that name counts as no file.
bool settingsFileExists(const QString& path);

// Raise "Cannot open file" / "Cannot create file" with the path as given.
QList<QByteArray> readSettingsFile(const QString& path);
void writeSettingsFile(const QString& path, const QList<QByteArray>& lines);

} // namespace appearance
