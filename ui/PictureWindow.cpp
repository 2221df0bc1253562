#include "ui/PictureWindow.h"

#include <QKeySequence>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QShortcut>
#include <QVBoxLayout>

PictureWindow::PictureWindow(QWidget* owner, const QString& name, const QImage& image,
                             std::function<void()> onSaveAs)
    : QWidget(owner, Qt::Window), picture(new QLabel), saveAs(new QPushButton) {
    setObjectName(QStringLiteral("pictureWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("图片: %1").arg(name));
    picture->setObjectName(QStringLiteral("picture"));
    picture->setAlignment(Qt::AlignCenter);
    picture->setAccessibleName(QStringLiteral("图片: %1").arg(name));
    picture->setPixmap(QPixmap::fromImage(image));
    auto* area = new QScrollArea;
    area->setWidget(picture);
    area->setWidgetResizable(true);
    area->setAlignment(Qt::AlignCenter);
    saveAs->setObjectName(QStringLiteral("pictureSaveAs"));
    saveAs->setText(QStringLiteral("另存为(&S)..."));
    connect(saveAs, &QPushButton::clicked, this, [onSaveAs = std::move(onSaveAs)] { onSaveAs(); });
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(area, 1);
    layout->addWidget(saveAs, 0, Qt::AlignRight);
    // The picture at its own size where the screen has room for it.
    const QSize logical = (QSizeF(image.size()) / image.devicePixelRatio()).toSize();
    resize(logical.expandedTo(QSize(240, 160)) + QSize(40, 80));
}
