// The hosted room's record: what was said before this session, shown dimmed
// under its date, and what is said now, kept for the next.
#include "app/ProgramSettings.h"
#include "app/SettingsPage.h"
#include "app/TForm1.h"
#include "host/RoomRecord.h"
#include "net/Endpoint.h"
#include "transfer/HistoryFetch.h"
#include "ui/ChatLog.h"
#include "ui/ChatPage.h"
#include "ui/Dialogs.h"
#include "ui/ErrorBoundary.h"

#include <QCheckBox>
#include <QDir>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>

namespace {

// What a kept message shows as in a log: the talk line, or the notice's text.
QByteArray shownLine(const QByteArray& message) {
    return message.mid(2);
}

} // namespace

void TForm1::wireRecord() {
    // Beside the status text while the room keeps its talk: where it is, and clearing it.
    recordButton = new QPushButton(QStringLiteral("聊天室记录"), ts);
    recordButton->setObjectName(QStringLiteral("recordButton"));
    recordButton->setFlat(true);
    recordButton->setVisible(false);
    ts->addPermanentWidget(recordButton);
    connect(recordButton, &QPushButton::clicked, this, guarded([this] {
                if (!record)
                    return;
                const QString text =
                    QStringLiteral("本聊天室的记录保存在:\n%1\n现在有 %2 行。\n\n要清除这些记录吗?")
                        .arg(QDir::toNativeSeparators(record->path()))
                        .arg(record->entries().size());
                if (!Dialogs::instance().confirm(this, text) || !record)
                    return;
                QString word;
                setStatus(record->clear(&word) ? QStringLiteral("聊天室记录已清除") : word);
            }));
}

void TForm1::startRecord(const QByteArray& roomName) {
    stopRecord();
    if (!settings->roomHistory->isChecked())
        return;
    const ProgramSettings prefs;
    auto kept = std::make_unique<RoomRecord>(
        RoomRecord::pathFor(ProgramSettings::historyFolder(), roomName, settings->port2->value()),
        RoomRecord::Limits{prefs.keepLines(), prefs.keepDays()});
    QString word;
    if (!kept->open(&word)) {
        // One word, and the room goes on without a record.
        setStatus(word);
        return;
    }
    for (const RoomRecord::Entry& e : kept->entries())
        chat->Memo1->appendEarlier(shownLine(e.message), e.arrived);
    record = std::move(kept);
    recordButton->setVisible(true);
    host.onPublic = [this](const QByteArray& message) {
        if (record)
            record->append(message);
    };
}

void TForm1::stopRecord() {
    host.onPublic = nullptr;
    recordButton->setVisible(false);
    record.reset(); // what is still buffered is written as it goes
}

std::optional<QList<WebSeat::Said>> TForm1::keptForNewcomers() const {
    if (!record)
        return std::nullopt;
    QList<WebSeat::Said> said;
    for (const RoomRecord::Entry& e : record->last(ProgramSettings().historyLines()))
        said.append({e.arrived, e.message});
    return said;
}

void TForm1::fetchHistory() {
    if (room.mode != RoomState::ClientMode || historyAsked || client.Connection() == nullptr)
        return;
    historyAsked = true;
    QString address;
    quint16 webPort = 0;
    if (!webSurface(&address, &webPort))
        return;
    historyFetch = new HistoryFetch(address, webPort,
                                    endpoint::localPortOf(client.Connection()->SocketId()), this);
    connect(historyFetch, &HistoryFetch::nothing, historyFetch, &QObject::deleteLater);
    connect(historyFetch, &HistoryFetch::received, this,
            [this](const QList<HistoryFetch::Line>& kept) {
                QList<std::pair<QByteArray, QDateTime>> lines;
                lines.reserve(kept.size());
                for (const HistoryFetch::Line& l : kept)
                    lines.append({shownLine(l.message), l.arrived});
                // Above the welcome: what was said before comes first.
                chat->Memo1->insertEarlier(sessionStartRow, lines);
                setStatus(QStringLiteral("本聊天室保存聊天记录"));
                historyFetch->deleteLater();
            });
}

void TForm1::dropHistoryFetch() {
    // An answer for a session that is over must not land in the next one.
    if (historyFetch) {
        historyFetch->disconnect(this);
        historyFetch->deleteLater();
        historyFetch = nullptr;
    }
}
