#include "ui/TransferList.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

QString bytesWord(double bytes) {
    return QLocale::c().formattedDataSize(qint64(bytes), 1, QLocale::DataSizeTraditionalFormat);
}

QString timeWord(qint64 seconds) {
    if (seconds >= 3600)
        return QStringLiteral("%1 小时 %2 分").arg(seconds / 3600).arg(seconds % 3600 / 60);
    if (seconds >= 60)
        return QStringLiteral("%1 分 %2 秒").arg(seconds / 60).arg(seconds % 60);
    return QStringLiteral("%1 秒").arg(seconds);
}

} // namespace

TransferList::TransferList(QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("transfers"));
    setWindowTitle(QStringLiteral("文件传输"));
    auto* inner = new QWidget;
    rows_ = new QVBoxLayout(inner);
    rows_->addStretch(1);
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setWidget(inner);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(scroll);
    resize(420, 220);
}

void TransferList::reveal() {
    // A line arriving must not take the keyboard from whatever the user is in.
    setAttribute(Qt::WA_ShowWithoutActivating, true);
    show();
    raise();
}

TransferList::Row* TransferList::add(const QString& what, std::function<void()> onCancel,
                                     bool show) {
    auto* box = new QWidget;
    auto* grid = new QVBoxLayout(box);
    grid->setContentsMargins(2, 2, 2, 2);
    auto* name = new QLabel(what);
    name->setTextFormat(Qt::PlainText); // a file name from anyone
    name->setObjectName(QStringLiteral("transferName"));
    auto* line = new QHBoxLayout;
    auto* row = new Row;
    row->bar = new QProgressBar;
    row->bar->setObjectName(QStringLiteral("transferBar"));
    row->bar->setRange(0, 1000);
    row->bar->setValue(0);
    row->cancel = new QPushButton(QStringLiteral("取消"));
    row->cancel->setObjectName(QStringLiteral("transferCancel"));
    row->state = new QLabel(QStringLiteral("等待主机..."));
    row->state->setTextFormat(Qt::PlainText);
    row->state->setObjectName(QStringLiteral("transferState"));
    row->state->setWordWrap(true);
    line->addWidget(row->bar, 1);
    line->addWidget(row->cancel);
    grid->addWidget(name);
    grid->addLayout(line);
    grid->addWidget(row->state);
    rows_->insertWidget(rows_->count() - 1, box);
    // The row lives with its widgets.
    connect(box, &QObject::destroyed, box, [row] { delete row; });
    connect(row->cancel, &QPushButton::clicked, box, [onCancel = std::move(onCancel)] {
        if (onCancel)
            onCancel();
    });
    row->clock.start();
    if (show)
        reveal();
    return row;
}

TransferList::Row* TransferList::addOffer(const QString& what, const QString& size,
                                          std::function<void()> onReceive,
                                          std::function<void()> onSaveAs,
                                          std::function<void()> onCancel) {
    Row* row = add(what, std::move(onCancel), false);
    auto* line = static_cast<QHBoxLayout*>(row->bar->parentWidget()->layout()->itemAt(1)->layout());
    row->receive = new QPushButton(QStringLiteral("接收"));
    row->receive->setObjectName(QStringLiteral("transferReceive"));
    row->saveAs = new QPushButton(QStringLiteral("另存为"));
    row->saveAs->setObjectName(QStringLiteral("transferSaveAs"));
    line->insertWidget(1, row->receive);
    line->insertWidget(2, row->saveAs);
    row->cancel->setEnabled(false);
    row->setState(size);
    connect(row->receive, &QPushButton::clicked, row->bar, std::move(onReceive));
    connect(row->saveAs, &QPushButton::clicked, row->bar, std::move(onSaveAs));
    return row;
}

void TransferList::Row::setProgress(qint64 have, qint64 size) {
    bar->setValue(size > 0 ? int(have * 1000 / size) : 1000);
    if (startedAt < 0)
        startedAt = have; // what a resume started from does not count towards speed
    const double seconds = clock.elapsed() / 1000.0;
    const double speed = seconds > 0.2 ? (have - startedAt) / seconds : 0;
    QString text = QStringLiteral("%1 / %2").arg(bytesWord(have), bytesWord(size));
    if (speed > 0) {
        text += QStringLiteral(",%1/秒,还要 %2")
                    .arg(bytesWord(speed), timeWord(qint64((size - have) / speed)));
    }
    setState(text);
}

void TransferList::Row::setState(const QString& text, bool bad) {
    state->setText(text);
    QPalette p = state->palette();
    p.setColor(QPalette::WindowText, bad ? QColor(0xb0, 0, 0) : QColor(Qt::black));
    state->setPalette(p);
}

void TransferList::Row::finish(const QString& text, bool bad) {
    setState(text, bad);
    cancel->setEnabled(false);
}
