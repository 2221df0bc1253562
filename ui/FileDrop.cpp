#include "ui/FileDrop.h"

#include <QAbstractScrollArea>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

namespace {

QStringList localFiles(const QMimeData* data) {
    QStringList files;
    if (data == nullptr)
        return files;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            files.append(url.toLocalFile());
    }
    return files;
}

} // namespace

void FileDrop::enable(QWidget* target, std::function<void(const QStringList&)> onDrop) {
    // A scroll area gets its drops on the viewport.
    QWidget* receiver = target;
    if (auto* area = qobject_cast<QAbstractScrollArea*>(target))
        receiver = area->viewport();
    receiver->setAcceptDrops(true);
    receiver->installEventFilter(new FileDrop(receiver, std::move(onDrop)));
}

bool FileDrop::eventFilter(QObject*, QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* e = static_cast<QDragMoveEvent*>(event);
        if (localFiles(e->mimeData()).isEmpty())
            return false;
        e->acceptProposedAction();
        return true;
    }
    case QEvent::Drop: {
        auto* e = static_cast<QDropEvent*>(event);
        const QStringList files = localFiles(e->mimeData());
        if (files.isEmpty())
            return false;
        e->acceptProposedAction();
        onDrop_(files);
        return true;
    }
    default:
        return false;
    }
}
