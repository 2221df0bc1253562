#include "appearance/PictureSets.h"

#include <QPainter>
#include <QPixmap>
#include <array>

ImageList::ImageList(int number, QObject* parent) : QObject(parent), number_(number) {
    setObjectName(number == 0 ? QStringLiteral("imagelist0")
                              : QStringLiteral("ImageList%1").arg(number));
    for (int slot = 0; slot < slotCount; ++slot) {
        const QImage source(resourcePath(number, slot));
        QImage drawn;
        QIcon icon;
        if (!source.isNull()) {
            drawn = QImage(source.size(), QImage::Format_RGB32);
            drawn.fill(background);
            QPainter painter(&drawn);
            painter.drawImage(0, 0, source);
            painter.end();
            icon = QIcon(QPixmap::fromImage(drawn));
        }
        pictures_.append(drawn);
        icons_.append(icon);
    }
}

QString ImageList::resourcePath(int number, int slot) {
    return QStringLiteral(":/sets/set%1/%2.png").arg(number).arg(slot, 2, 10, QLatin1Char('0'));
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
