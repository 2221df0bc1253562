#include "ui/ImagePaste.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>

namespace {

QByteArray pastedPicture() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (data == nullptr || !data->hasImage() || data->hasText())
        return {};
    QByteArray png = data->data(QStringLiteral("image/png"));
    if (!png.isEmpty())
        return png;
    const QImage image = qvariant_cast<QImage>(data->imageData());
    QBuffer buffer(&png);
    if (image.isNull() || !buffer.open(QIODevice::WriteOnly) || !image.save(&buffer, "PNG"))
        return {};
    return png;
}

} // namespace

void ImagePaste::enable(QLineEdit* edit, std::function<void(const QByteArray&)> onImage) {
    edit->installEventFilter(new ImagePaste(edit, std::move(onImage)));
}

bool ImagePaste::eventFilter(QObject*, QEvent* event) {
    if (event->type() != QEvent::KeyPress ||
        !static_cast<QKeyEvent*>(event)->matches(QKeySequence::Paste))
        return false;
    const QByteArray png = pastedPicture();
    if (png.isEmpty())
        return false;
    onImage_(png);
    return true;
}
