#include "app/TForm1.h"

#include "app/AboutPage.h"
#include "app/Attention.h"
#include "app/LocalAddress.h"
#include "app/SettingsPage.h"
#include "discovery/RoomAnnouncer.h"
#include "host/RoomRecord.h"
#include "ui/Accessibility.h"
#include "ui/ChatLog.h"
#include "ui/ChatPage.h"
#include "ui/Dialogs.h"
#include "ui/ErrorBoundary.h"
#include "web/WebGateway.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTabWidget>

namespace {

QFont windowFont() {
    QFont font(QStringLiteral("宋体"));
    font.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun"),
                      QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(12);
    return font;
}

QLabel* infoLabel(QWidget* parent, const char* name, const QRect& geometry) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    label->setTextFormat(Qt::PlainText); // nicknames and room names, shown as typed
    return label;
}

} // namespace

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent), host(room, ser, *this), roomClient(room, client, *this) {
    a11y::install(); // before any control is asked for its interface
    setObjectName(QStringLiteral("Form1"));
    ser.setObjectName(QStringLiteral("ser"));
    client.setObjectName(QStringLiteral("client"));
    buildWindow();
    buildAppearance();
    attention = new Attention(this, room);
    wireShell();
    wireSession();
    wireChatPage();
    wireWeb();
    wireRecord();
    wireDiscovery();
    runGuarded([this] { FormCreate(); });
}

TForm1::~TForm1() {
    stopRecord();
    // Its seats tell the host they are gone, so it goes while the host is still here.
    delete web;
}

void TForm1::buildWindow() {
    setWindowTitle(QStringLiteral("Pinwa聊天室!!!"));
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(windowFont());

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("central"));
    setCentralWidget(central);

    page = new QTabWidget(central);
    page->setObjectName(QStringLiteral("page"));
    page->setDocumentMode(true);
    page->setIconSize(QSize(32, 32));
    page->setGeometry(0, 0, 571, 411);
    settings = new SettingsPage;
    settings->setObjectName(QStringLiteral("TabSheet1"));
    chat = new ChatPage;
    chat->setObjectName(QStringLiteral("TabSheet2"));
    about = new AboutPage;
    about->setObjectName(QStringLiteral("TabSheet3"));
    page->addTab(settings, QStringLiteral("设置(&S)"));
    page->addTab(chat, QStringLiteral("聊天室(&T)"));
    page->addTab(about, QStringLiteral("关于(&A)"));

    Panel1 = new QFrame(central);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::HLine);
    Panel1->setFrameShadow(QFrame::Sunken);
    Panel1->setGeometry(0, 40, 1000, 2);

    Panel6 = new QWidget(central);
    Panel6->setObjectName(QStringLiteral("Panel6"));
    // Right of the three tabs, which are about 315 pixels wide with their pictures.
    Panel6->setGeometry(322, 2, 246, 36);
    xiaonc = infoLabel(Panel6, "xiaonc", QRect(0, 2, 120, 14));
    xiaoname = infoLabel(Panel6, "xiaoname", QRect(124, 2, 122, 14));
    ipname = infoLabel(Panel6, "ipname", QRect(0, 20, 246, 14));

    ts = new QStatusBar(this);
    ts->setObjectName(QStringLiteral("ts"));
    ts->setSizeGripEnabled(false);
    ts->setAccessibleName(QStringLiteral("状态栏"));
    tsText = new QLabel(ts);
    tsText->setTextFormat(Qt::PlainText);
    tsText->setObjectName(QStringLiteral("tsPanel"));
    ts->addWidget(tsText, 1);
    setStatusBar(ts);

    list2 = new QListWidget(central);
    list2->setObjectName(QStringLiteral("list2"));
    list2->setVisible(false);
    Button1 = new QPushButton(QStringLiteral("combutton"), central);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setVisible(false);

    Panel1->raise();
    Panel6->raise();
    setFixedSize(571, 430);
}

void TForm1::wireShell() {
    connect(settings->RadioButton1, &QRadioButton::clicked, this,
            guarded([this] { RadioButton1Click(); }));
    connect(settings->RadioButton2, &QRadioButton::clicked, this,
            guarded([this] { RadioButton2Click(); }));
    // The window sees Escape before its controls, whatever has the focus.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    escape->setContext(Qt::WindowShortcut);
    connect(escape, &QShortcut::activated, this, guarded([this] { FormKeyPress(); }));
}

QString TForm1::statusText() const {
    return tsText->text();
}

void TForm1::setStatusText(const QString& text) {
    tsText->setText(text);
}

void TForm1::FormCreate() {
    room.occupancy = 0;
    const QString address = QStringLiteral("本机IP:") + localAddress();
    ipname->setText(address);
    ipname->setToolTip(address);
    room.clearSeats();
    room.clearWhispers();
    appearance->loadAndApply();
}

void TForm1::buildAppearance() {
    appearance =
        new Appearance(settings->appearanceControls(chat, page, list2, Button1, this), this);
}

void TForm1::FormKeyPress() {
    close();
}

void TForm1::closeEvent(QCloseEvent* event) {
    bool canClose = false;
    runGuarded([&] { FormCloseQuery(canClose); });
    if (canClose)
        event->accept();
    else
        event->ignore();
}

void TForm1::FormCloseQuery(bool& canClose) {
    canClose = Dialogs::instance().confirm(this, QStringLiteral("真的要退出吗!?"));
    if (!canClose)
        return;
    // Participants are dropped at once, without leave notices.
    endHosting();
    roomClient.stop();
}

void TForm1::RadioButton1Click() {
    settings->Panel2->setEnabled(true);
    settings->Panel3->setEnabled(false);
}

void TForm1::RadioButton2Click() {
    settings->Panel3->setEnabled(true);
    settings->Panel2->setEnabled(false);
}
