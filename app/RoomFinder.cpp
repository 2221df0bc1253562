#include "app/RoomFinder.h"

#include "app/SettingsPage.h"
#include "discovery/RoomBrowser.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>

RoomFinder::RoomFinder(QWidget* window, QTabWidget* page, SettingsPage* settings, QStatusBar* ts)
    : QObject(window), window_(window), page_(page), settings_(settings),
      browser_(new RoomBrowser(this)) {
    note_ = new QLabel(ts);
    note_->setObjectName(QStringLiteral("roomsNote"));
    note_->setTextFormat(Qt::PlainText);
    note_->setContentsMargins(0, 0, 6, 0); // off the window's edge
    note_->setVisible(false);
    ts->addPermanentWidget(note_);
    // The entries are wider than the box; the open list shows them whole.
    settings_->rooms->view()->setTextElideMode(Qt::ElideNone);
    connect(browser_, &RoomBrowser::changed, this, &RoomFinder::refresh);
    connect(page_, &QTabWidget::currentChanged, this, &RoomFinder::follow);
    connect(settings_->RadioButton1, &QRadioButton::toggled, this, &RoomFinder::follow);
    connect(settings_->rooms, &QComboBox::activated, this, &RoomFinder::choose);
    window_->installEventFilter(this);
    settings_->Group1->installEventFilter(this);
}

bool RoomFinder::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::WindowStateChange:
        // After the change has taken effect.
        QMetaObject::invokeMethod(this, &RoomFinder::follow, Qt::QueuedConnection);
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void RoomFinder::follow() {
    // Nothing goes on the network unless the user is looking for a room to join.
    const bool looking = window_->isVisible() && !window_->isMinimized() &&
                         page_->currentWidget() == settings_ && settings_->Group1->isVisible() &&
                         settings_->RadioButton1->isChecked();
    if (looking)
        browser_->start();
    else
        browser_->stop();
}

void RoomFinder::refresh() {
    QComboBox* rooms = settings_->rooms;
    const QString chosen = rooms->currentData().toString();
    const QList<FoundRoom> found = browser_->rooms();
    rooms->blockSignals(true);
    rooms->clear();
    for (const FoundRoom& room : found)
        rooms->addItem(room.entryText(), room.key);
    rooms->setCurrentIndex(rooms->findData(chosen));
    rooms->blockSignals(false);
    rooms->view()->setMinimumWidth(rooms->view()->sizeHintForColumn(0) + 8);

    QString word;
    if (browser_->state() == RoomBrowser::State::NoDaemon)
        word = QStringLiteral("没有找到局域网服务 avahi-daemon,请直接输入主机的地址");
    else if (browser_->state() == RoomBrowser::State::NothingFound)
        word = QStringLiteral("没有找到聊天室:请确认主机和你在同一个网络里,或者直接输入地址");
    note_->setText(word);
    note_->setVisible(!word.isEmpty());
}

void RoomFinder::choose(int index) {
    const QString key = settings_->rooms->itemData(index).toString();
    for (const FoundRoom& room : browser_->rooms()) {
        if (room.key != key)
            continue;
        settings_->ip1->setText(room.address);
        settings_->port1->setValue(room.port);
        return;
    }
}
