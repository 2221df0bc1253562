#pragma once

#include <QByteArray>
#include <QList>

class QListWidget;

// The settings list, held by the hidden list box list2 (its only copy in memory),
// and its file col.col in the working directory. Entries are GB2312 bytes; list2
// shows them as text and keeps the bytes beside.
class SettingsList {
public:
    // Fills list2 with the seven defaults.
    explicit SettingsList(QListWidget* list2);

    static QList<QByteArray> defaults();

    QList<QByteArray> entries() const;
    qsizetype count() const;
    // Raises "List index out of bounds" for an entry the list does not have.
    QByteArray entry(qsizetype index) const;

    // Replaces the list with the file's lines; raises "Cannot open file" (and then
    // holds no entries) when the file exists but cannot be read.
    void load();

    // By entry number: the entry one past the end is appended, one further fails
    // with "Unable to insert a line".
    void writeEntry(qsizetype index, const QByteArray& text);

    // Writes every entry to col.col; raises "Cannot create file" when it cannot.
    void save();

private:
    void setEntries(const QList<QByteArray>& entries);
    void recoverStoredSettings();

    QListWidget* list_;
    // The file existed but could not be read at start-up, so the list does not hold
    // what it stores; it is read again before anything is written over it.
    bool storedUnread_ = false;
};
