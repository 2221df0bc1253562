#include "app/HostFiles.h"

#include "app/ProgramSettings.h"
#include "protocol/FileOffer.h"
#include "web/FileStore.h"
#include "web/WebGateway.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

HostFiles::HostFiles(WebGateway& web, QWidget* owner) : QWidget(owner, Qt::Window), web_(web) {
    setObjectName(QStringLiteral("hostFiles"));
    setWindowTitle(QStringLiteral("聊天室的文件"));
    const ProgramSettings settings;
    perFile = new QSpinBox;
    perFile->setObjectName(QStringLiteral("filePerFile"));
    perFile->setRange(1, 1024 * 1024);
    perFile->setSuffix(QStringLiteral(" MiB"));
    perFile->setValue(settings.fileLimitMiB());
    perRoom = new QSpinBox;
    perRoom->setObjectName(QStringLiteral("filePerRoom"));
    perRoom->setRange(1, 100000);
    perRoom->setSuffix(QStringLiteral(" GiB"));
    perRoom->setValue(settings.roomLimitGiB());
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("每个文件最多:"), perFile);
    form->addRow(QStringLiteral("所有文件一共最多:"), perRoom);
    connect(perFile, &QSpinBox::valueChanged, this, [this](int v) {
        ProgramSettings().setFileLimitMiB(v);
        applyLimits(web_);
    });
    connect(perRoom, &QSpinBox::valueChanged, this, [this](int v) {
        ProgramSettings().setRoomLimitGiB(v);
        applyLimits(web_);
    });

    list = new QTreeWidget;
    list->setObjectName(QStringLiteral("fileList"));
    list->setHeaderLabels({QStringLiteral("文件"), QStringLiteral("大小"), QStringLiteral("谁发的"),
                           QStringLiteral("时间"), QStringLiteral("状态")});
    list->setRootIsDecorated(false);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto* remove = new QPushButton(QStringLiteral("删除(&R)"));
    remove->setObjectName(QStringLiteral("fileRemove"));
    connect(remove, &QPushButton::clicked, this, [this] { removeChosen(); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(remove);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(list, 1);
    layout->addLayout(buttons);
    resize(560, 320);
    // Uploads move on while the window is open.
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this] {
        if (isVisible())
            refresh();
    });
    timer->start(1000);
}

void HostFiles::applyLimits(WebGateway& web) {
    const ProgramSettings settings;
    FileStore::Limits limits;
    limits.perFile = qint64(settings.fileLimitMiB()) << 20;
    limits.perRoom = qint64(settings.roomLimitGiB()) << 30;
    web.setFileLimits(limits);
}

void HostFiles::showEvent(QShowEvent* event) {
    refresh();
    QWidget::showEvent(event);
}

void HostFiles::refresh() {
    QStringList chosen;
    for (const QTreeWidgetItem* item : list->selectedItems())
        chosen.append(item->data(0, Qt::UserRole).toString());
    list->clear();
    if (web_.files() == nullptr)
        return;
    for (const FileStore::File* f : web_.files()->files()) {
        auto* item = new QTreeWidgetItem(
            {f->name, fileoffer::sizeText(f->size), f->sender,
             f->added.toString(QStringLiteral("HH:mm:ss")),
             f->complete()
                 ? QStringLiteral("已收到")
                 : QStringLiteral("正在收 %1%").arg(f->size ? f->have * 100 / f->size : 0)});
        item->setData(0, Qt::UserRole, QString::fromLatin1(f->token));
        list->addTopLevelItem(item);
        item->setSelected(chosen.contains(QString::fromLatin1(f->token)));
    }
    for (int c = 0; c < list->columnCount(); ++c)
        list->resizeColumnToContents(c);
}

void HostFiles::removeChosen() {
    if (web_.files() == nullptr)
        return;
    for (const QTreeWidgetItem* item : list->selectedItems())
        web_.files()->remove(item->data(0, Qt::UserRole).toString().toLatin1());
    refresh();
}
