#include "transfer/Thumbnail.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QtEndian>

namespace thumbnail {

namespace {

Result refuse(const QString& word, QSize whole = {}) {
    return Result{QImage(), whole, word};
}

// The canvas a GIF decoder clears before its first frame: the logical screen, grown to
// hold that frame. Qt's size() reports neither, so a header of a few bytes could make it
// clear tens of megapixels. Empty when the first frame is not within the bytes looked at.
QSize gifCanvas(QIODevice* device) {
    const QByteArray head = device->peek(64 * 1024);
    const auto word = [&](qsizetype at) {
        return int(qFromLittleEndian<quint16>(head.constData() + at));
    };
    if (head.size() < 13)
        return {};
    QSize canvas(word(6), word(8));
    const auto flags = quint8(head[10]);
    qsizetype at = 13 + ((flags & 0x80) ? 3 * (2 << (flags & 7)) : 0);
    while (at < head.size()) {
        const auto block = quint8(head[at]);
        if (block == 0x2c) { // the first image
            if (at + 9 > head.size())
                return {};
            return canvas.expandedTo(
                {word(at + 1) + word(at + 5), word(at + 3) + word(at + 7)});
        }
        if (block != 0x21 || at + 2 > head.size())
            return {};
        at += 2; // an extension: its label, then sub-blocks up to an empty one
        while (at < head.size() && head[at] != 0)
            at += 1 + quint8(head[at]);
        ++at;
    }
    return {};
}

Result read(QIODevice* device, QSize box, const Limits& limits) {
    QImageReader reader(device);
    reader.setDecideFormatFromContent(true);
    reader.setAllocationLimit(limits.allocationMb);
    if (!isShown(reader.format()))
        return refuse(QStringLiteral("不是能显示的图片"));
    const auto tooBig = [&](QSize s) {
        return s.width() > limits.maxSide || s.height() > limits.maxSide ||
               qint64(s.width()) * s.height() > limits.maxPixels;
    };
    // Before size(): the handler may read on from where the file starts.
    if (reader.format() == "gif") {
        const QSize canvas = gifCanvas(device);
        if (canvas.isEmpty())
            return refuse(QStringLiteral("图片已损坏"));
        if (tooBig(canvas) || qint64(canvas.width()) * canvas.height() > limits.maxGifPixels)
            return refuse(QStringLiteral("图片太大,不能显示"), canvas);
    }
    const QSize whole = reader.size();
    if (!whole.isValid() || whole.isEmpty())
        return refuse(QStringLiteral("图片已损坏"));
    if (tooBig(whole))
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
