// pinwa_logshots <folder>: a host and two participants in one process on 127.0.0.1,
// a short conversation, then pictures of one participant's chat page: lines to
// them and their own set apart with arrival times, the new-lines marker while
// scrolled up, and the find bar.
#include "RawPeer.h"
#include "ScriptedDialogs.h"
#include "app/SettingsPage.h"
#include "app/TForm1.h"
#include "ui/ChatLog.h"
#include "ui/ChatPage.h"
#include "ui/FindBar.h"
#include "ui/FlatButton.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <memory>

namespace {

void wait(const std::function<bool()>& done, int line = __builtin_LINE()) {
    if (!QTest::qWaitFor(done, 5000))
        std::fprintf(stderr, "logshots: the step at line %d did not complete\n", line);
}

std::unique_ptr<TForm1> window(const QPoint& at) {
    auto form = std::make_unique<TForm1>();
    form->move(at);
    form->show();
    return form;
}

void join(TForm1& form, TForm1& host, quint16 port, const QString& nickname) {
    form.settings->RadioButton1->click();
    form.settings->port1->setValue(port);
    form.settings->ip1->setText(QStringLiteral("127.0.0.1"));
    form.settings->nc1->setText(nickname);
    form.settings->SpeedButton1->click();
    wait([&] { return form.chat->Memo1->lineCount() > 0; });
    // The roster came in the welcome's read; the host sends it again.
    host.chat->fjk->click();
    wait([&] { return form.chat->list1->count() > 0; });
}

void say(TForm1& form, const QString& to, const QString& text) {
    QListWidget* list = form.chat->list1;
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->text() == to) {
            list->setCurrentRow(i);
            list->item(i)->setSelected(true);
        }
    }
    form.chat->Edit5->setText(text);
    form.chat->SpeedButton3->click();
    QTest::qWait(150);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString out =
        QDir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".")).absolutePath();
    ScriptedDialogs dialogs;
    // col.col is read and written in the working directory.
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    const quint16 port = freePort();

    auto host = window({20, 20});
    host->settings->RadioButton2->click();
    host->settings->port2->setValue(port);
    host->settings->ip2->setText(QStringLiteral("Pinwa大厅"));
    host->settings->nc2->setText(QStringLiteral("主持人"));
    host->settings->SpeedButton2->click();
    auto one = window({620, 20});
    join(*one, *host, port, QStringLiteral("小明"));
    auto two = window({620, 500});
    join(*two, *host, port, QStringLiteral("阿美"));
    host->chat->fjk->click();
    wait([&] { return one->chat->list1->count() == 3 && two->chat->list1->count() == 3; });
    // Lets the rosters go through before talk follows them.
    QTest::qWait(500);

    // In one process the welcome and the roster arrive in one read; start afresh.
    ChatLog* log = one->chat->Memo1;
    log->clearLines();
    say(*one, QStringLiteral("阿美"), QStringLiteral("大家好, 今晚一起吃饭吗?"));
    say(*two, QStringLiteral("小明"), QStringLiteral("好呀, 去哪里?"));
    say(*host, QStringLiteral("小明"), QStringLiteral("我来订位子. 七点, 老地方, 靠窗的那张桌子."));
    say(*two, QStringLiteral("主持人"), QStringLiteral("谢谢!"));
    say(*one, QStringLiteral("主持人"), QStringLiteral("太好了, 七点见."));
    wait([&] { return log->lineCount() >= 5; });
    QTest::qWait(300);
    one->grab().save(out + QStringLiteral("/chat-highlight.png"));

    for (int i = 1; i <= 14; ++i)
        say(*host, QStringLiteral("阿美"), QStringLiteral("第%1件事").arg(i));
    wait([&] { return log->lineCount() >= 19; });
    QTest::qWait(200);
    log->verticalScrollBar()->setValue(0);
    for (int i = 15; i <= 17; ++i)
        say(*host, QStringLiteral("阿美"), QStringLiteral("第%1件事").arg(i));
    wait([&] { return log->unseenLines() == 3; });
    QTest::qWait(300);
    one->grab().save(out + QStringLiteral("/chat-scroll-lock.png"));

    log->openFind();
    log->findBar()->findText->setText(QStringLiteral("七点"));
    QTest::qWait(300);
    one->grab().save(out + QStringLiteral("/chat-find.png"));
    std::printf("logshots: pictures written to %s\n", qPrintable(out));
    return 0;
}
