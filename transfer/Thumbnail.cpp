#include "transfer/Thumbnail.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

namespace thumbnail {

namespace {

Result refuse(const QString& word, QSize whole = {}) {
    return Result{QImage(), whole, word};
}

Result read(QIODevice* device, QSize box, const Limits& limits) {
    QImageReader reader(device);
    reader.setDecideFormatFromContent(true);
    reader.setAllocationLimit(limits.allocationMb);
    if (!isShown(reader.format()))
        return refuse(QStringLiteral("不是能显示的图片"));
    const QSize whole = reader.size();
    if (!whole.isValid() || whole.isEmpty())
        return refuse(QStringLiteral("图片已损坏"));
    if (whole.width() > limits.maxSide || whole.height() > limits.maxSide ||
        qint64(whole.width()) * whole.height() > limits.maxPixels)
        return refuse(QStringLiteral("图片太大,不能显示"), whole);
    if (box.isValid() && (whole.width() > box.width() || whole.height() > box.height()))
        reader.setScaledSize(whole.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    QImage image = reader.read();
    if (image.isNull())
        return refuse(QStringLiteral("图片已损坏"), whole);
    // A decoder that ignores the scaled size must not hand a row a whole photo.
    if (box.isValid() && (image.width() > box.width() || image.height() > box.height()))
        image = image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return Result{image, whole, QString()};
}

} // namespace

bool isShown(const QByteArray& format) {
    return format == "png" || format == "jpeg" || format == "gif" || format == "webp";
}

bool isPictureFile(const QString& path) {
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return isShown(reader.format());
}

Result make(const QByteArray& bytes, QSize box, const Limits& limits) {
    QByteArray copy = bytes; // QBuffer wants one it can point at
    QBuffer buffer(&copy);
    if (!buffer.open(QIODevice::ReadOnly))
        return refuse(QStringLiteral("图片已损坏"));
    return read(&buffer, box, limits);
}

Result fromFile(const QString& path, QSize box, const Limits& limits) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refuse(QStringLiteral("图片不见了"));
    return read(&file, box, limits);
}

} // namespace thumbnail
