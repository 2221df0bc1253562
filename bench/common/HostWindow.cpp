#include "HostWindow.h"

#include "app/SettingsPage.h"
#include "app/TForm1.h"
#include "ui/FlatButton.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QRadioButton>
#include <QSocketNotifier>
#include <QSpinBox>
#include <QTimer>
#include <QToolButton>

ScratchHome::ScratchHome() {
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
        qputenv(name, dir_.path().toLocal8Bit());
}

std::unique_ptr<TForm1> startHostWindow(quint16 port, const QString& nickname,
                                        const QString& roomName) {
    auto form = std::make_unique<TForm1>();
    form->show();
    hostIn(*form, port, nickname, roomName);
    return form;
}

void hostIn(TForm1& form, quint16 port, const QString& nickname, const QString& roomName) {
    form.settings->RadioButton2->click();
    form.settings->port2->setValue(port);
    form.settings->ip2->setText(roomName);
    form.settings->nc2->setText(nickname);
    form.settings->SpeedButton2->click();
}

void joinIn(TForm1& form, quint16 port, const QString& nickname) {
    form.settings->RadioButton1->click();
    form.settings->port1->setValue(port);
    form.settings->ip1->setText(QStringLiteral("127.0.0.1"));
    form.settings->nc1->setText(nickname);
    form.settings->SpeedButton1->click();
}

void liftBudget(TForm1& form) {
    form.host.meter().setBudget({1e9, 1e9, 1e12, 1e12});
}

int seatedCount(const TForm1& form) {
    int seated = 0;
    for (const RoomState::Seat& seat : form.room.seats)
        if (seat.connection != nullptr && !seat.nickname.isEmpty())
            ++seated;
    return seated;
}

void runUntilChildEnds(const figures::Child& child,
                       const std::function<void(const QByteArray&)>& onLine) {
    QEventLoop loop;
    QByteArray pending;
    QSocketNotifier notifier(child.out, QSocketNotifier::Read);
    QObject::connect(&notifier, &QSocketNotifier::activated, &loop, [&] {
        QList<QByteArray> lines;
        const bool open = figures::readLines(child.out, pending, lines);
        for (const QByteArray& line : lines)
            onLine(line);
        if (!open) {
            notifier.setEnabled(false);
            loop.quit();
        }
    });
    loop.exec();
}

bool runUntil(const std::function<bool()>& done, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    QTimer wake; // bounds each wait, so the deadline is checked
    wake.start(10);
    while (!done() && !deadline.hasExpired())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}
