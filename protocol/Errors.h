#pragma once

#include <QByteArray>
#include <QString>
#include <stdexcept>

// The program's own failures, carrying the exact text the user is shown (UTF-8).
class EPinwaError : public std::runtime_error {
public:
    explicit EPinwaError(const QString& text) : std::runtime_error(text.toStdString()) {}
};

namespace errors {

inline EPinwaError notAnInteger(const QString& text) {
    return EPinwaError(QStringLiteral("'%1' is not a valid integer value").arg(text));
}
inline EPinwaError listIndex(qsizetype index) {
    return EPinwaError(QStringLiteral("List index out of bounds (%1)").arg(index));
}
inline EPinwaError cannotOpen(const QString& path) {
    return EPinwaError(QStringLiteral("Cannot open file %1").arg(path));
}
inline EPinwaError cannotCreate(const QString& path) {
    return EPinwaError(QStringLiteral("Cannot create file %1").arg(path));
}
inline EPinwaError cannotInsert() {
    return EPinwaError(QStringLiteral("Unable to insert a line"));
}

} // namespace errors
