// The chat log's overlays: the marker counting lines that arrived while scrolled
// up, and the find bar.
#include "protocol/Gb.h"
#include "ui/ChatLog.h"
#include "ui/ChatLogDelegate.h"
#include "ui/ChatLogModel.h"
#include "ui/FindBar.h"

#include <QLineEdit>
#include <QToolButton>
#include <algorithm>

void ChatLog::placeOverlays() {
    const QRect area = viewport()->geometry();
    const QSize markerSize = marker_->sizeHint();
    marker_->move(area.right() - markerSize.width() - 4, area.bottom() - markerSize.height() - 4);
    marker_->resize(markerSize);
    const int width = std::min(area.width(), std::max(180, area.width() * 3 / 5));
    findBar_->setGeometry(area.right() + 1 - width, area.top(), width,
                          findBar_->sizeHint().height());
}

void ChatLog::updateMarker() {
    if (unseen_ == 0) {
        marker_->hide();
        return;
    }
    marker_->setText(QStringLiteral("↓ %1 条新消息").arg(unseen_));
    placeOverlays();
    marker_->show();
    marker_->raise();
}

void ChatLog::openFind() {
    placeOverlays();
    findBar_->show();
    findBar_->raise();
    findBar_->findText->setFocus(Qt::ShortcutFocusReason);
    findBar_->findText->selectAll();
    if (!findBar_->findText->text().isEmpty())
        findChanged(findBar_->findText->text());
}

void ChatLog::closeFind() {
    findBar_->hide();
    findText_.clear();
    findBytes_.clear();
    findUnencodable_ = false;
    found_.clear();
    foundAt_ = -1;
    delegate_->setFound(QString());
    viewport()->update();
    setFocus(Qt::OtherFocusReason);
}

bool ChatLog::matches(int row) const {
    if (!LineStore::containsFolded(model_->store().line(row), findBytes_))
        return false;
    // A two-byte needle can also match across two characters: check the text.
    return findText_.size() == findBytes_.size() ||
           model_->text(row).contains(findText_, Qt::CaseInsensitive);
}

void ChatLog::findChanged(const QString& text) {
    findText_ = text;
    // Its bytes would stand for the substitute character, found all over the log.
    findUnencodable_ = !gb::canHold(text);
    findBytes_ = findUnencodable_ ? QByteArray() : gb::fromTyped(text);
    for (char& c : findBytes_)
        c = c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
    found_ = model_->store().findRows(findBytes_);
    if (findText_.size() != findBytes_.size())
        found_.removeIf([this](int row) { return !matches(row); });
    delegate_->setFound(findUnencodable_ ? QString() : text);
    viewport()->update();
    // Searching starts at the latest line, or at the chosen one.
    const bool chosen = selectionModel()->hasSelection() && currentIndex().isValid();
    const int from = chosen ? currentIndex().row() : model_->rowCount();
    foundAt_ = -1;
    for (qsizetype i = found_.size() - 1; i >= 0 && foundAt_ < 0; --i) {
        if (found_[i] <= from)
            foundAt_ = int(i);
    }
    if (foundAt_ < 0 && !found_.isEmpty())
        foundAt_ = 0;
    findStep(0);
}

void ChatLog::findStep(int direction) {
    if (found_.isEmpty()) {
        foundAt_ = -1;
        if (findUnencodable_)
            findBar_->showUnencodable();
        else
            findBar_->showCount(-1, 0);
        return;
    }
    const int n = int(found_.size());
    foundAt_ = ((foundAt_ < 0 ? 0 : foundAt_) + direction + n) % n;
    const QModelIndex index = model_->index(found_[foundAt_]);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index, EnsureVisible);
    findBar_->showCount(foundAt_, n);
}
