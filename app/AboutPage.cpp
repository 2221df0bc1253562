#include "app/AboutPage.h"

#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>

namespace {

const char* const kIntroduction =
    "Pinwa聊天室是一个局域网聊天程序。\n\n"
    "一台电脑在\"设置\"页选择\"服务器\"，填好端口、聊天室名和昵称后按\"运行\"，"
    "就开设了一个最多可容纳100人的聊天室；其他电脑选择\"客户端\"，"
    "输入服务器的IP地址、端口和昵称后按\"连接\"即可加入。\n\n"
    "在\"聊天室\"页单击用户列表中的名字选择说话对象，输入内容后按回车发言。"
    "右键单击用户列表可以说悄悄话；服务器还可以发送广播、请人下线。"
    "右键单击聊天记录可以保存、清空或复制。\n\n"
    "颜色和图片在\"设置\"页选择，会自动保存在工作目录的col.col文件里。";

// The picture drawn for the screen's scale: QIcon finds the "@2x" file beside the named one.
QPixmap forScreen(const QWidget* w, const QString& name, QSize size) {
    return QIcon(name).pixmap(size, w->devicePixelRatioF());
}

} // namespace

AboutPage::AboutPage(QWidget* parent) : QWidget(parent) {
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("Image1"));
    icon->setGeometry(24, 16, 64, 64);
    icon->setPixmap(forScreen(this, QStringLiteral(":/about/pinwa-64.png"), icon->size()));

    auto* name = new QLabel(QStringLiteral("Pinwa"), this);
    name->setObjectName(QStringLiteral("Label9"));
    QFont big(QStringLiteral("黑体"));
    big.setFamilies(
        {QStringLiteral("黑体"), QStringLiteral("SimHei"), QStringLiteral("WenQuanYi Zen Hei")});
    big.setPixelSize(29);
    big.setBold(true);
    name->setFont(big);
    name->move(100, 28);
    name->adjustSize();
    auto* room = new QLabel(QStringLiteral("聊天室"), this);
    room->setObjectName(QStringLiteral("Label10"));
    room->move(name->x() + name->width() + 6, 44);
    room->adjustSize();

    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Shape5"));
    frame->setGeometry(24, 100, 112, 128);
    frame->setStyleSheet(
        QStringLiteral("QFrame#Shape5 { border: 2px solid #808080; border-radius: 10px;"
                       " background: white; }"));
    auto* portrait = new QLabel(frame);
    portrait->setObjectName(QStringLiteral("Image2"));
    portrait->setGeometry(8, 8, 96, 112);
    portrait->setAlignment(Qt::AlignCenter);
    portrait->setPixmap(forScreen(this, QStringLiteral(":/about/portrait.png"), portrait->size()));

    auto* text = new QPlainTextEdit(QString::fromUtf8(kIntroduction), this);
    text->setObjectName(QStringLiteral("Memo2"));
    text->setReadOnly(true);
    text->setAccessibleName(QStringLiteral("关于"));
    text->setGeometry(152, 100, 400, 240);
    QPalette p = text->palette();
    p.setColor(QPalette::Base, palette().color(QPalette::Button));
    text->setPalette(p);
}
