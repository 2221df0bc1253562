#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

// A picture someone sent, made small enough for a log row without trusting a byte of
// it: only PNG, JPEG, GIF (its first frame) and WebP where Qt has the plugin; the size
// read from the header before anything is decoded; the decoder's memory capped; the
// picture decoded straight to the size it is shown at. Anything else is refused with a
// word, and the offer stays a file. Safe to run on any thread.
namespace thumbnail {

struct Limits {
    int maxSide = 20000;         // pixels, as the header says
    qint64 maxPixels = 50000000; // width x height: a 50 MP photo still shows
    int allocationMb = 256;      // what the decoder may take for the whole picture
    // A GIF is decoded whole, not scaled, on a canvas its header sets: a 4K screen
    // recording still shows.
    qint64 maxGifPixels = 3840 * 2160;
};

struct Result {
    QImage image; // null when refused
    QSize whole;  // the picture's own size, from its header
    QString word; // why it is not shown
};

// The picture fitted into `box` (device pixels), aspect kept, never enlarged.
Result make(const QByteArray& bytes, QSize box, const Limits& limits = {});
Result fromFile(const QString& path, QSize box, const Limits& limits = {});

// The formats shown at all, as Qt names them.
bool isShown(const QByteArray& format);
// A file whose bytes (not its name) say it is a picture of a shown format.
bool isPictureFile(const QString& path);

} // namespace thumbnail
