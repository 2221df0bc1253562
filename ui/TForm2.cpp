#include "ui/TForm2.h"

#include "protocol/Gb.h"
#include "protocol/RoomState.h"
#include "protocol/TypedLine.h"
#include "protocol/Wire.h"
#include "ui/ChatLog.h"
#include "ui/Dialogs.h"
#include "ui/ErrorBoundary.h"
#include "ui/FocusRing.h"
#include "ui/InputHistory.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QThread>
#include <QWindow>

namespace {

const char* const kCloseQuestion = "是否要永久性的关掉该窗口?\n"
                                   "如果是,那么下次再开启这个悄悄话窗口时,就没有记录了!\n"
                                   "如果不是,下次开启还会有记录,但它会占用一个窗口!\n"
                                   "当窗口达到一百个时,你就不能再窗口了!";

} // namespace

TForm2::TForm2(RoomState& room, QWidget* owner)
    : QWidget(owner, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                         Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      room_(room) {
    setObjectName(QStringLiteral("Form2"));
    QFont font(QStringLiteral("宋体"));
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"),
                      QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(12);
    setFont(font);
    setFixedSize(211, 176);
    move(192, 107);

    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::StyledPanel);
    Panel1 = frame;
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(8, 8, 193, 161);
    Memo1 = new ChatLog(Panel1);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(8, 8, 177, 121);
    Memo1->setAccessibleName(QStringLiteral("悄悄话记录"));
    new FocusRing(Memo1);
    Label1 = new QLabel(QStringLiteral("发言:"), Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(8, 136);
    Edit1 = new QLineEdit(Panel1);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(40, 136, 145, 20);
    Label1->setBuddy(Edit1); // read as the input line's name
    Edit1History = new InputHistory(Edit1);
    hesheid = new QLabel(this);
    hesheid->setObjectName(QStringLiteral("hesheid"));
    hesheid->setVisible(false);

    connect(Edit1, &QLineEdit::returnPressed, this, guarded([this] { Edit1Enter(); }));
}

void TForm2::setPeerSeatField(const QByteArray& field) {
    peerSeat_ = field;
    hesheid->setText(QString::fromLatin1(field));
}

void TForm2::setPeerName(const QByteArray& name) {
    setWindowTitle(QStringLiteral("聊天对象: ") + gb::toDisplay(name));
}

void TForm2::appendLine(const QByteArray& line) {
    Memo1->appendLine(line);
}

QList<QByteArray> TForm2::lines() const {
    return Memo1->lines();
}

void TForm2::takeColours(const QWidget* chatLog, const QWidget* inputLine) {
    for (auto [from, to] :
         {std::pair<const QWidget*, QWidget*>{chatLog, Memo1}, {inputLine, Edit1}}) {
        QPalette p = to->palette();
        p.setColor(QPalette::Base, from->palette().color(QPalette::Base));
        p.setColor(QPalette::Text, from->palette().color(QPalette::Text));
        to->setPalette(p);
    }
}

void TForm2::Edit1Enter() {
    const QString typed = Edit1->text();
    if (typed.isEmpty())
        return;
    const QByteArray line =
        wire::whisperLine(room_.ownNickname, gb::fromTyped(typing::oneLine(typed)));
    // A host drops a whisper this long: say so and keep the text rather than lose it.
    if (line.size() > wire::kMaxLineBytes) {
        Dialogs::instance().message(this, typing::tooLongNotice());
        return;
    }
    Edit1->setEnabled(false);
    try {
        if (OnSend)
            OnSend(*this, line);
    } catch (...) {
        // The input line must never stay disabled.
        Edit1->setEnabled(true);
        Edit1->setFocus();
        throw;
    }
    appendLine(line);
    Edit1History->record(typed);
    // Keeps consecutive whispers in separate reads at the peer.
    QThread::msleep(200);
    Edit1->setEnabled(true);
    Edit1->clear();
    Edit1->setFocus();
}

void TForm2::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The platform gives an untitled window the application's name; a window still
    // waiting for its peer's nickname shows an empty caption instead.
    if (windowTitle().isEmpty() && windowHandle() != nullptr)
        windowHandle()->setTitle(QStringLiteral("\u200b"));
    // Shown while the user is in another program, it waits to be activated; the focus set
    // here moves into the input line only then.
    if (!testAttribute(Qt::WA_ShowWithoutActivating))
        activateWindow();
    Edit1->setFocus();
}

void TForm2::closeEvent(QCloseEvent* event) {
    bool forget = false;
    runGuarded([&] { forget = FormCloseQuery(); });
    if (forget) {
        // Matched by seat field, not by window: the first entry for this peer goes.
        const int slot = room_.findWhisper(peerSeat_);
        if (slot >= 0)
            room_.whispers[slot] = nullptr;
    }
    event->accept();
}

bool TForm2::FormCloseQuery() {
    return Dialogs::instance().confirm(this, QString::fromUtf8(kCloseQuestion));
}
