#include "appearance/PictureSets.h"

#include <QPainter>
#include <QPixmap>
#include <array>

namespace {

// The picture as an image list draws it: opaque, silver where the mask is clear.
QImage onBackground(const QImage& source) {
    QImage drawn(source.size(), QImage::Format_RGB32);
    drawn.setDevicePixelRatio(source.devicePixelRatio());
    drawn.fill(ImageList::background);
    QPainter painter(&drawn);
    painter.drawImage(0, 0, source);
    return drawn;
}

} // namespace

ImageList::ImageList(int number, QObject* parent) : QObject(parent), number_(number) {
    setObjectName(number == 0 ? QStringLiteral("imagelist0")
                              : QStringLiteral("ImageList%1").arg(number));
    for (int slot = 0; slot < slotCount; ++slot) {
        const QImage source(resourcePath(number, slot));
        // The file name's "@2x" gives the picture a device pixel ratio of 2.
        const QImage sharpSource(resourcePath(number, slot, 2));
        QImage drawn, sharp;
        QIcon icon;
        if (!source.isNull()) {
            drawn = onBackground(source);
            icon.addPixmap(QPixmap::fromImage(drawn));
        }
        if (!sharpSource.isNull()) {
            sharp = onBackground(sharpSource);
            icon.addPixmap(QPixmap::fromImage(sharp));
        }
        pictures_.append(drawn);
        sharpPictures_.append(sharp);
        icons_.append(icon);
    }
}

QString ImageList::resourcePath(int number, int slot, int scale) {
    return QStringLiteral(":/sets/set%1/%2%3.png")
        .arg(number)
        .arg(slot, 2, 10, QLatin1Char('0'))
        .arg(scale > 1 ? QStringLiteral("@%1x").arg(scale) : QString());
}

bool ImageList::isComplete() const {
    for (const QImage& p : pictures_) {
        if (p.isNull())
            return false;
    }
    return true;
}

PictureSets::PictureSets(QObject* parent) : QObject(parent) {
    for (int n = 0; n < setCount; ++n)
        sets_.append(new ImageList(n, this));
}

QString PictureSets::itemText(int number) {
    static const std::array<QString, setCount> texts{
        QStringLiteral("小猫咪"), QStringLiteral("小丸子"), QStringLiteral("小人物"),
        QStringLiteral("小星座"), QStringLiteral("小帽子"), QStringLiteral("Pinwa人"),
        QStringLiteral("小雪人")};
    return texts.at(static_cast<std::size_t>(number));
}

const ImageList* PictureSets::set(int number) const {
    return sets_.value(number);
}
