#include "ui/ChatPage.h"

#include "ui/Accessibility.h"
#include "ui/ChatLog.h"
#include "ui/FlatButton.h"
#include "ui/FocusRing.h"
#include "ui/InputHistory.h"

#include <QContextMenuEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>

namespace {

template <typename W, typename... Args> W* make(QWidget* parent, const char* name, Args&&... args) {
    auto* w = new W(std::forward<Args>(args)..., parent);
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QAction* item(QMenu* menu, const char* name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

void blue(QLabel* label) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, Qt::blue);
    label->setPalette(p);
}

} // namespace

ChatPage::ChatPage(QWidget* parent) : QWidget(parent) {
    Panel4 = make<QWidget>(this, "Panel4");
    Panel4->setGeometry(4, 4, 553, 353);
    Panel4->setEnabled(false);
    GroupBox3 = make<QGroupBox>(Panel4, "GroupBox3");
    GroupBox3->setGeometry(0, 0, 553, 353);

    Label8 = make<QLabel>(GroupBox3, "Label8", QStringLiteral("你想和他(她)说:"));
    Label8->move(8, 12);
    heshe = make<QLabel>(GroupBox3, "heshe", QString());
    heshe->setGeometry(97, 12, 340, 14);
    heshe->setTextFormat(Qt::PlainText); // a nickname, shown as typed
    blue(heshe);
    Label13 = make<QLabel>(GroupBox3, "Label13", QStringLiteral("在线人数:"));
    Label13->move(448, 16);
    pep = make<QLabel>(GroupBox3, "pep", QStringLiteral("0"));
    pep->setGeometry(504, 16, 45, 14);
    blue(pep);
    a11y::setSpokenText(heshe, Label8->text(), QString());
    a11y::setSpokenText(pep, Label13->text(), pep->text());

    Memo1 = make<ChatLog>(GroupBox3, "Memo1");
    Memo1->setGeometry(8, 32, 433, 289);
    Memo1->setContextMenuPolicy(Qt::CustomContextMenu);
    Memo1->setAccessibleName(QStringLiteral("聊天记录"));
    list1 = make<QListWidget>(GroupBox3, "list1");
    list1->setAccessibleName(QStringLiteral("用户列表"));
    list1->setGeometry(448, 32, 97, 313);
    list1->setContextMenuPolicy(Qt::CustomContextMenu);

    Label7 = make<QLabel>(GroupBox3, "Label7", QStringLiteral("发言:"));
    Label7->move(8, 328);
    Edit5 = make<QLineEdit>(GroupBox3, "Edit5");
    Edit5->setGeometry(40, 326, 345, 20);
    Label7->setBuddy(Edit5);
    Edit5History = new InputHistory(Edit5);
    SpeedButton3 = make<FlatButton>(GroupBox3, "SpeedButton3", QStringLiteral("发送(&F)"));
    SpeedButton3->setGeometry(392, 328, 49, 17);
    fjk = make<QPushButton>(GroupBox3, "fjk", QString());
    fjk->setVisible(false);
    // Top right of the log; it covers heshe only past the 20 characters nc1 allows a nickname.
    webQr = make<FlatButton>(GroupBox3, "webQr", QStringLiteral("手机加入"));
    webQr->setGeometry(305, 10, 60, 18);
    webQr->setToolTip(QStringLiteral("显示二维码,让手机扫描后在浏览器里加入聊天室!"));
    webQr->setVisible(false);
    // Beside it, over the same run of heshe that only the longest nicknames reach.
    sendFile = make<FlatButton>(GroupBox3, "sendFile", QStringLiteral("发送文件(&D)"));
    sendFile->setGeometry(369, 10, 72, 18);
    sendFile->setToolTip(QStringLiteral("通过主机把文件发给说话对象(也可以把文件拖到聊天记录上)"));

    pop1 = new QMenu(this);
    pop1->setObjectName(QStringLiteral("pop1"));
    S1 = item(pop1, "S1", QStringLiteral("保存内容(&S)"));
    C1 = item(pop1, "C1", QStringLiteral("清空内容(&C)"));
    D1 = item(pop1, "D1", QStringLiteral("复制当前内容(&D)"));
    // The pictures are drawn for 32 x 32.
    pop1->setStyleSheet(QStringLiteral("QMenu { icon-size: 32px; }"));
    pop2 = new QMenu(this);
    pop2->setStyleSheet(QStringLiteral("QMenu { icon-size: 32px; }"));
    pop2->setObjectName(QStringLiteral("pop2"));
    F1 = item(pop2, "F1", QStringLiteral("发送广播(&F)"));
    T1 = item(pop2, "T1", QStringLiteral("踢他下线(&T)"));
    Q1 = item(pop2, "Q1", QStringLiteral("悄悄话(&Q)"));
    J1 = item(pop2, "J1", QStringLiteral("踢出并禁入(&J)"));
    J1->setVisible(false);

    connect(Memo1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { pop1->popup(Memo1->viewport()->mapToGlobal(at)); });
    connect(list1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { pop2->popup(list1->viewport()->mapToGlobal(at)); });

    Memo1->installEventFilter(this);
    list1->installEventFilter(this);
    new FocusRing(Memo1);
    new FocusRing(list1);

    // Visual order: log, user list, input line, send.
    setTabOrder(Memo1, list1);
    setTabOrder(list1, Edit5);
    setTabOrder(Edit5, SpeedButton3);
}

bool ChatPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched != Memo1 && watched != list1)
        return QWidget::eventFilter(watched, event);
    auto* view = static_cast<QAbstractItemView*>(watched);
    QMenu* menu = watched == Memo1 ? pop1 : pop2;
    if (event->type() == QEvent::KeyPress) {
        const auto* press = static_cast<QKeyEvent*>(event);
        const int key = press->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            Edit5->setFocus();
            emit enterPressed();
            return true;
        }
        if (key == Qt::Key_Menu ||
            (key == Qt::Key_F10 && press->modifiers() == Qt::ShiftModifier)) {
            popupFromKeyboard(view, menu);
            return true;
        }
    }
    // The platform's own menu-key event points at the mouse, not at what has the focus.
    if (event->type() == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
        if (!menu->isVisible())
            popupFromKeyboard(view, menu);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void ChatPage::popupFromKeyboard(QAbstractItemView* view, QMenu* menu) {
    // Beside the entry that has the focus, else at the top of the list.
    const QRect entry = view->visualRect(view->currentIndex());
    const QPoint at = entry.isValid() ? entry.bottomLeft() + QPoint(8, 0) : QPoint(8, 8);
    menu->popup(view->viewport()->mapToGlobal(at));
    // The first item usable is lit, so the keyboard starts on it and the focus shows.
    for (QAction* action : menu->actions()) {
        if (action->isVisible() && action->isEnabled() && !action->isSeparator()) {
            menu->setActiveAction(action);
            break;
        }
    }
}
