#include "appearance/SettingsList.h"

#include "appearance/SettingsFile.h"
#include "protocol/Errors.h"
#include "protocol/Gb.h"

#include <QListWidget>

namespace {

constexpr int bytesRole = Qt::UserRole;

QListWidgetItem* makeItem(const QByteArray& text) {
    auto* item = new QListWidgetItem(gb::toDisplay(text));
    item->setData(bytesRole, text);
    return item;
}

QByteArray itemBytes(const QListWidgetItem* item) {
    const QVariant bytes = item->data(bytesRole);
    return bytes.isValid() ? bytes.toByteArray() : gb::fromTyped(item->text());
}

} // namespace

SettingsList::SettingsList(QListWidget* list2) : list_(list2) {
    setEntries(defaults());
}

QList<QByteArray> SettingsList::defaults() {
    return {"0", "16777215", "0", "16777215", "0", "16777215", "0"};
}

QList<QByteArray> SettingsList::entries() const {
    QList<QByteArray> out;
    for (int i = 0; i < list_->count(); ++i)
        out.append(itemBytes(list_->item(i)));
    return out;
}

qsizetype SettingsList::count() const {
    return list_->count();
}

QByteArray SettingsList::entry(qsizetype index) const {
    if (index < 0 || index >= list_->count())
        throw errors::listIndex(index);
    return itemBytes(list_->item(static_cast<int>(index)));
}

void SettingsList::load() {
    list_->clear();
    try {
        setEntries(appearance::readSettingsFile(appearance::settingsFileName));
        storedUnread_ = false;
    } catch (const EPinwaError&) {
        storedUnread_ = true;
        throw;
    }
}

void SettingsList::writeEntry(qsizetype index, const QByteArray& text) {
    recoverStoredSettings();
    if (index < list_->count()) {
        QListWidgetItem* item = list_->item(static_cast<int>(index));
        item->setText(gb::toDisplay(text));
        item->setData(bytesRole, text);
    } else if (index == list_->count()) {
        list_->addItem(makeItem(text));
    } else {
        throw errors::cannotInsert();
    }
}

void SettingsList::save() {
    recoverStoredSettings();
    appearance::writeSettingsFile(appearance::settingsFileName, entries());
}

void SettingsList::setEntries(const QList<QByteArray>& entries) {
    list_->clear();
    for (const QByteArray& e : entries)
        list_->addItem(makeItem(e));
}

void SettingsList::recoverStoredSettings() {
    if (!storedUnread_)
        return;
    // Gone meanwhile: nothing is stored any more, so start again from the defaults.
    if (!appearance::settingsFileExists(appearance::settingsFileName))
        setEntries(defaults());
    else
        setEntries(appearance::readSettingsFile(appearance::settingsFileName));
    storedUnread_ = false;
}
