#pragma once

#include <QIcon>
#include <QImage>
#include <QList>
#include <QObject>
#include <QString>

// One picture set: 13 masked 32 x 32 pictures with the background colour silver,
// so wherever a picture is drawn its masked pixels come out silver. Each picture also
// comes drawn at 64 x 64 for screens with a scale of 2.
class ImageList : public QObject {
    Q_OBJECT

public:
    static constexpr int slotCount = 13;
    static constexpr QRgb background = 0xFFC0C0C0;

    // Loads set `number` from the resources (":/sets/set<N>/<SS>.png").
    ImageList(int number, QObject* parent = nullptr);

    static QString resourcePath(int number, int slot, int scale = 1);

    int number() const { return number_; }
    // The picture as drawn: opaque, silver where the mask is clear. Null when the
    // resource is missing.
    QImage picture(int slot) const { return pictures_.value(slot); }
    // The same at 64 x 64 with a device pixel ratio of 2; null when missing.
    QImage sharpPicture(int slot) const { return sharpPictures_.value(slot); }
    // Both sizes: Qt takes the one that suits the screen.
    QIcon icon(int slot) const { return icons_.value(slot); }
    // False when a picture could not be loaded.
    bool isComplete() const;

private:
    int number_;
    QList<QImage> pictures_;
    QList<QImage> sharpPictures_;
    QList<QIcon> icons_;
};

// The seven sets, loaded once and held for the life of the main window, in the
// order of the chooser's items: imagelist0, ImageList1 .. ImageList6.
class PictureSets : public QObject {
    Q_OBJECT

public:
    static constexpr int setCount = 7;

    explicit PictureSets(QObject* parent = nullptr);

    static QString itemText(int number);
    const ImageList* set(int number) const;

private:
    QList<ImageList*> sets_;
};
