// One copy of the program for the network test, driven by lines on stdin:
//   host PORT ROOM NICK ANNOUNCE   hosts a room, announced when ANNOUNCE is 1
//   end                            ends the room (answering yes)
//   rooms                          prints "room: ENTRY" for each entry and "note: TEXT"
//   choose INDEX                   chooses that entry; prints "address: IP PORT"
//   join NICK                      connects to what ip1 and port1 hold
//   users                          prints "user: NICK" for each entry of the user list
//   open, close                    opens or closes the list of rooms
//   shot PATH                      saves the window, with the open list, as a PNG
// It prints "ready" once up and "done" after each command; closing stdin ends it.
#include "ScriptedDialogs.h"
#include "StdinCommands.h"
#include "app/RoomFinder.h"
#include "app/SettingsPage.h"
#include "app/TForm1.h"
#include "ui/ChatPage.h"
#include "ui/FlatButton.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QRadioButton>
#include <QSpinBox>
#include <cstdio>

namespace {

void say(const QString& line) {
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

void run(TForm1& form, ScriptedDialogs& dialogs, const QStringList& words) {
    SettingsPage* s = form.settings;
    const QString command = words.value(0);
    if (command == QLatin1String("host")) {
        s->RadioButton2->click();
        s->announce->setChecked(words.value(4) == QLatin1String("1"));
        s->port2->setValue(words.value(1).toInt());
        s->ip2->setText(words.value(2));
        s->nc2->setText(words.value(3));
        s->SpeedButton2->click();
    } else if (command == QLatin1String("end")) {
        dialogs.confirmAnswers.append(true);
        form.page->setCurrentIndex(0);
        s->overgame->click();
    } else if (command == QLatin1String("rooms")) {
        for (int i = 0; i < s->rooms->count(); ++i)
            say(QStringLiteral("room: ") + s->rooms->itemText(i));
        say(QStringLiteral("note: ") + form.finder->note()->text());
    } else if (command == QLatin1String("choose")) {
        emit s->rooms->activated(words.value(1).toInt());
        say(QStringLiteral("address: %1 %2").arg(s->ip1->text()).arg(s->port1->value()));
    } else if (command == QLatin1String("join")) {
        s->nc1->setText(words.value(1));
        s->SpeedButton1->click();
    } else if (command == QLatin1String("open")) {
        s->rooms->showPopup();
    } else if (command == QLatin1String("close")) {
        s->rooms->hidePopup();
    } else if (command == QLatin1String("shot")) {
        QPixmap shot = form.grab();
        QWidget* popup = s->rooms->view()->window();
        if (popup->isVisible()) {
            // The open list is a window of its own; drawn where it lies over the main one.
            QPainter painter(&shot);
            painter.drawPixmap(form.mapFromGlobal(popup->pos()), popup->grab());
        }
        shot.save(words.value(1));
    } else if (command == QLatin1String("users")) {
        for (int i = 0; i < form.chat->list1->count(); ++i)
            say(QStringLiteral("user: ") + form.chat->list1->item(i)->text());
    }
    for (const QString& text : dialogs.allTexts())
        say(QStringLiteral("dialog: ") + text);
    dialogs.clear();
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    ScriptedDialogs dialogs;
    TForm1 form;
    form.show();
    const auto input = onStdinLines([&](const QString& line) {
        run(form, dialogs, line.split(QLatin1Char(' '), Qt::SkipEmptyParts));
        say(QStringLiteral("done"));
    });
    say(QStringLiteral("ready"));
    return QApplication::exec();
}
