// The hosted room's record: what was said before this session, shown dimmed
// under its date, and what is said now, kept for the next.
#include "app/ProgramSettings.h"
#include "app/SettingsPage.h"
#include "app/TForm1.h"
#include "host/RoomRecord.h"
#include "ui/ChatLog.h"
#include "ui/ChatPage.h"

#include <QSpinBox>

namespace {

// What a kept message shows as in a log: the talk line, or the notice's text.
QByteArray shownLine(const QByteArray& message) {
    return message.mid(2);
}

} // namespace

void TForm1::startRecord(const QByteArray& roomName) {
    stopRecord();
    if (!ProgramSettings().roomHistory())
        return;
    auto kept = std::make_unique<RoomRecord>(
        RoomRecord::pathFor(ProgramSettings::historyFolder(), roomName, settings->port2->value()));
    QString word;
    if (!kept->open(&word)) {
        // One word, and the room goes on without a record.
        setStatus(word);
        return;
    }
    for (const RoomRecord::Entry& e : kept->entries())
        chat->Memo1->appendEarlier(shownLine(e.message), e.arrived);
    record = std::move(kept);
    host.onPublic = [this](const QByteArray& message) {
        if (record)
            record->append(message);
    };
}

void TForm1::stopRecord() {
    host.onPublic = nullptr;
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
