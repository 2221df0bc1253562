#pragma once

#include <QCoreApplication>
#include <QSocketNotifier>
#include <functional>
#include <memory>
#include <unistd.h>

// For test hosts driven from a script: hands over each line read on stdin, and leaves
// the event loop when stdin closes. Not quit(): a main window would ask 真的要退出吗!?
// and a scripted answer of no would keep it running.
inline std::unique_ptr<QSocketNotifier> onStdinLines(std::function<void(const QString&)> run) {
    auto input = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(input.get(), &QSocketNotifier::activated,
                     [run = std::move(run), pending = QByteArray()]() mutable {
                         char buffer[4096];
                         const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
                         if (n <= 0) {
                             QCoreApplication::exit(0);
                             return;
                         }
                         pending.append(buffer, n);
                         qsizetype end;
                         while ((end = pending.indexOf('\n')) >= 0) {
                             const QString line = QString::fromUtf8(pending.left(end));
                             pending.remove(0, end + 1);
                             run(line);
                         }
                     });
    return input;
}
