#include "app/SettingsPage.h"

#include "app/ProgramSettings.h"
#include "appearance/Appearance.h"
#include "ui/ChatLog.h"
#include "ui/ChatPage.h"
#include "ui/FlatButton.h"
#include "ui/PreviewWidgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>

namespace {

template <typename W, typename... Args> W* make(QWidget* parent, const char* name, Args&&... args) {
    auto* w = new W(std::forward<Args>(args)..., parent);
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QLabel* caption(QWidget* parent, const char* name, const QString& text, int x, int y) {
    auto* label = make<QLabel>(parent, name, text);
    label->move(x, y);
    label->adjustSize();
    return label;
}

QSpinBox* portBox(QWidget* parent, const char* name) {
    auto* box = make<QSpinBox>(parent, name);
    box->setRange(1, 65535);
    box->setValue(8888);
    return box;
}

QWidget* panel(QWidget* parent, const char* name, const QRect& geometry) {
    auto* frame = make<QFrame>(parent, name);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Raised);
    frame->setGeometry(geometry);
    return frame;
}

} // namespace

SettingsPage::SettingsPage(QWidget* parent) : QWidget(parent) {
    // Built first so that Group1, built next, lies above it.
    pic12 = make<PictureBox>(this, "pic12", false);
    pic12->move(176, 160);
    overgame = make<FlatButton>(this, "overgame", QStringLiteral("结束连接(&O)"));
    overgame->setGeometry(216, 163, 100, 26);
    overgame->setEnabled(false); // usable only while a session has Group1 hidden

    Group1 = make<QGroupBox>(this, "Group1", QStringLiteral("连接设置"));
    Group1->setGeometry(4, 2, 557, 352);
    Group1->setAutoFillBackground(true);

    RadioButton1 = make<QRadioButton>(Group1, "RadioButton1", QStringLiteral("客户端(&K)"));
    RadioButton1->setGeometry(16, 18, 120, 20);
    RadioButton1->setChecked(true);
    RadioButton2 = make<QRadioButton>(Group1, "RadioButton2", QStringLiteral("服务器(&Q)"));
    RadioButton2->setGeometry(164, 18, 120, 20);

    buildClientPanel();
    buildHostPanel();
    buildAppearance();

    // Visual order: role, client panel, host panel, appearance.
    // Each sample area comes before the text that lies on it.
    QWidget* order[] = {RadioButton1, RadioButton2, ip1,     port1,   rooms,  nc1,
                        SpeedButton1, port2,        webJoin, ip2,     nc2,    roomHistory,
                        announce,     SpeedButton2, com1,    colrich, colsay, collist,
                        coluser,      coltext,      colspeak};
    for (std::size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void SettingsPage::buildClientPanel() {
    Panel2 = panel(Group1, "Panel2", QRect(8, 40, 312, 148));
    Label1 = caption(Panel2, "Label1", QStringLiteral("服务器 IP:"), 8, 14);
    ip1 = make<QLineEdit>(Panel2, "ip1", QStringLiteral("127.0.0.1"));
    ip1->setGeometry(84, 10, 150, 21);
    ip1->setToolTip(QStringLiteral("输入你要连接的服务器的IP地址!"));
    Label2 = caption(Panel2, "Label2", QStringLiteral("服务器端口:"), 8, 45);
    port1 = portBox(Panel2, "port1");
    port1->setGeometry(84, 41, 80, 21);
    port1->setToolTip(QStringLiteral("输入服务器的端口号,在1-65535之间!"));
    // Right of the port, the one free place beside the address.
    rooms = make<QComboBox>(Panel2, "rooms");
    rooms->setGeometry(172, 41, 132, 21);
    rooms->setPlaceholderText(QStringLiteral("局域网里的聊天室"));
    rooms->setToolTip(QStringLiteral("局域网里公布的聊天室,选一个就填好地址和端口"));
    rooms->setAccessibleName(rooms->placeholderText());
    rooms->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    Label3 = caption(Panel2, "Label3", QStringLiteral("昵称:"), 8, 76);
    nc1 = make<QLineEdit>(Panel2, "nc1");
    nc1->setGeometry(84, 72, 150, 21);
    nc1->setMaxLength(20);
    nc1->setToolTip(QStringLiteral("输入你想要的网名!"));
    pic9 = make<PictureBox>(Panel2, "pic9", false);
    pic9->move(80, 112);
    SpeedButton1 = make<FlatButton>(Panel2, "SpeedButton1", QStringLiteral("连接(&C)"));
    SpeedButton1->setGeometry(120, 115, 90, 26);
    SpeedButton1->setToolTip(QStringLiteral("连接到服务器!"));
    Label1->setBuddy(ip1);
    Label2->setBuddy(port1);
    Label3->setBuddy(nc1);
}

void SettingsPage::buildHostPanel() {
    Panel3 = panel(Group1, "Panel3", QRect(8, 192, 312, 156));
    Panel3->setEnabled(false);
    Label5 = caption(Panel3, "Label5", QStringLiteral("开设端口:"), 8, 14);
    port2 = portBox(Panel3, "port2");
    port2->setGeometry(84, 10, 80, 21);
    // Right of the port it adds one to, where the panel has room.
    webJoin = make<QCheckBox>(Panel3, "webJoin", QStringLiteral("允许网页加入(&W)"));
    webJoin->setGeometry(172, 10, 132, 21);
    webJoin->setToolTip(QStringLiteral(
        "让手机和浏览器也能加入聊天室:网页开在开设端口加一的端口上(8888 时为 8889)!"));
    webJoin->setChecked(ProgramSettings().webJoin());
    connect(webJoin, &QCheckBox::toggled, this, [](bool on) { ProgramSettings().setWebJoin(on); });
    Label4 = caption(Panel3, "Label4", QStringLiteral("聊天室名:"), 8, 45);
    ip2 = make<QLineEdit>(Panel3, "ip2");
    ip2->setGeometry(84, 41, 150, 21);
    ip2->setMaxLength(20);
    ip2->setToolTip(QStringLiteral("为你的聊天室取个好名字吧!"));
    Label6 = caption(Panel3, "Label6", QStringLiteral("昵称:"), 8, 76);
    nc2 = make<QLineEdit>(Panel3, "nc2");
    nc2->setGeometry(84, 72, 150, 21);
    // In the free row under the nickname, at the panel's left edge.
    roomHistory = make<QCheckBox>(Panel3, "roomHistory", QStringLiteral("保存聊天室记录"));
    roomHistory->setGeometry(8, 97, 112, 20);
    roomHistory->setToolTip(
        QStringLiteral("把聊天室里的公开发言保存在 %1 里:再开设同一个聊天室时还在,"
                       "新来的人也能看到最近的发言。悄悄话不保存。")
            .arg(QDir::toNativeSeparators(ProgramSettings::historyFolder())));
    roomHistory->setAccessibleDescription(roomHistory->toolTip());
    roomHistory->setChecked(ProgramSettings().roomHistory());
    connect(roomHistory, &QCheckBox::toggled, this,
            [](bool on) { ProgramSettings().setRoomHistory(on); });
    // Beside it, with the other hosting options.
    announce = make<QCheckBox>(Panel3, "announce", QStringLiteral("在局域网内公布聊天室"));
    announce->setGeometry(124, 97, 184, 20);
    announce->setToolTip(QStringLiteral("让局域网里的客户端不用输入地址就能找到这个聊天室"));
    announce->setChecked(ProgramSettings().announce());
    connect(announce, &QCheckBox::toggled, this,
            [](bool on) { ProgramSettings().setAnnounce(on); });
    pic10 = make<PictureBox>(Panel3, "pic10", true);
    pic10->move(80, 120);
    SpeedButton2 = make<FlatButton>(Panel3, "SpeedButton2", QStringLiteral("运行(&Y)"));
    SpeedButton2->setGeometry(120, 123, 90, 26);
    Label5->setBuddy(port2);
    Label4->setBuddy(ip2);
    Label6->setBuddy(nc2);
}

void SettingsPage::buildAppearance() {
    Label20 = caption(Group1, "Label20", QStringLiteral("图片选择:"), 328, 16);
    com1 = make<QComboBox>(Group1, "com1");
    com1->setGeometry(360, 32, 161, 22);
    com1->setEditable(false);
    Label20->setBuddy(com1);

    Label17 =
        caption(Group1, "Label17", QStringLiteral("您可以通过单击下面的字体或白框,从而"), 328, 80);
    Label18 =
        caption(Group1, "Label18", QStringLiteral("改变字或背景的颜色.从中选择自己最喜"), 328, 96);
    Label19 =
        caption(Group1, "Label19", QStringLiteral("欢的颜色.每次改动,它都会自己保存!"), 328, 112);
    pic11 = make<PictureBox>(Group1, "pic11", true);
    pic11->move(496, 126);

    Panel5 = panel(Group1, "Panel5", QRect(328, 160, 217, 177));
    colrich = make<ColourShape>(Panel5, "colrich");
    colrich->setGeometry(8, 16, 137, 129);
    colrich->setToolTip(QStringLiteral("改变主界面颜色!"));
    colsay = make<ClickLabel>(Panel5, "colsay", QStringLiteral("jack 对 joe 说: Hi!"));
    colsay->move(12, 21);
    colsay->setToolTip(QStringLiteral("改变内容颜色!"));
    collist = make<ColourShape>(Panel5, "collist");
    collist->setGeometry(152, 16, 57, 153);
    collist->setToolTip(QStringLiteral("改变列表底色!"));
    coluser = make<ClickLabel>(Panel5, "coluser", QStringLiteral("jack"));
    coluser->move(157, 16);
    coluser->setToolTip(QStringLiteral("改变客户字体颜色!"));
    coltext = make<ColourShape>(Panel5, "coltext");
    coltext->setGeometry(40, 152, 105, 17);
    coltext->setToolTip(QStringLiteral("改变输入框的颜色!"));
    colspeak = make<ClickLabel>(Panel5, "colspeak", QStringLiteral("你好呀!"));
    colspeak->move(41, 154);
    colspeak->setToolTip(QStringLiteral("改变输入字的颜色!"));
    Label16 = caption(Panel5, "Label16", QStringLiteral("发言:"), 8, 156);
    for (ClickLabel* label : {colsay, coluser, colspeak}) {
        label->adjustSize();
        label->raise();
    }
    // Read aloud by what a press does, as the hint says it.
    for (QWidget* sample :
         std::initializer_list<QWidget*>{colrich, colsay, collist, coluser, coltext, colspeak})
        sample->setAccessibleName(sample->toolTip());
}

AppearanceControls SettingsPage::appearanceControls(ChatPage* chat, QTabWidget* page,
                                                    QListWidget* list2, QPushButton* Button1,
                                                    QWidget* dialogParent) const {
    AppearanceControls c;
    c.list2 = list2;
    c.Button1 = Button1;
    c.page = page;
    c.pop1 = chat->pop1;
    c.pop2 = chat->pop2;
    c.colrich = colrich;
    c.colsay = colsay;
    c.collist = collist;
    c.coluser = coluser;
    c.coltext = coltext;
    c.colspeak = colspeak;
    c.com1 = com1;
    c.pic9 = pic9;
    c.pic10 = pic10;
    c.pic11 = pic11;
    c.pic12 = pic12;
    c.Memo1 = chat->Memo1;
    c.Edit5 = chat->Edit5;
    c.list1 = chat->list1;
    c.dialogParent = dialogParent;
    return c;
}
