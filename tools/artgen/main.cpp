// Draws every picture of the seven picture sets at scales 1 and 2, the about-page pictures, the
// desktop icons and the contact sheets.
// Usage: pinwa_artgen [repository root]   (default: the current directory)

#include "About.h"
#include "Characters.h"
#include "ContactSheet.h"
#include "Paint.h"
#include "Symbols.h"

#include <QDir>
#include <QGuiApplication>
#include <array>
#include <cstdio>

namespace {

using namespace art;

// The character's mood fits what the slot does; slot 5 holds a hand at the mouth.
constexpr std::array<Mood, 9> slotMoods = {Mood::Happy, Mood::Joy,  Mood::Happy,
                                           Mood::Joy,   Mood::Wink, Mood::Hush,
                                           Mood::Happy, Mood::Wink, Mood::Happy};
// The name the desktop finds the program's icon by.
const QString iconName = QStringLiteral("org.pinwa.Pinwa");
constexpr std::array<int, 6> themeSizes = {16, 32, 48, 64, 128, 256};

QImage drawPicture(int set, int slot, int size) {
    QImage img = blank(size);
    QPainter p;
    begin(p, img);
    if (slot < 9) {
        drawSymbol(p, slot, lookOf(set));
        drawBadge(p, set, slotMoods[slot]);
    } else {
        drawDecor(p, set, slot - 9);
    }
    p.end();
    return maskOnSilver(img);
}

bool save(const QImage& img, const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    if (img.save(path, "PNG"))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

// Each picture also comes drawn for a scale of 2, under the name Qt looks for there.
bool saveSets(const QString& root, Sets& sets, Sets& sharp) {
    bool ok = true;
    for (int s = 0; s < setCount; ++s) {
        for (int i = 0; i < slotCount; ++i) {
            const QString base = QStringLiteral("%1/resources/sets/set%2/%3")
                                     .arg(root)
                                     .arg(s)
                                     .arg(i, 2, 10, QLatin1Char('0'));
            sets[s][i] = drawPicture(s, i, 32);
            sharp[s][i] = drawPicture(s, i, 64);
            ok &= save(sets[s][i], base + ".png");
            ok &= save(sharp[s][i], base + "@2x.png");
        }
    }
    return ok;
}

bool saveAbout(const QString& root) {
    const QString dir = root + "/resources/about/";
    bool ok = save(drawIcon(32), dir + "pinwa.png");
    ok &= save(drawIcon(64), dir + "pinwa@2x.png");
    ok &= save(drawIcon(64), dir + "pinwa-64.png");
    ok &= save(drawIcon(128), dir + "pinwa-64@2x.png");
    ok &= save(drawPortrait(1), dir + "portrait.png");
    ok &= save(drawPortrait(2), dir + "portrait@2x.png");
    return ok;
}

bool saveThemeIcons(const QString& root) {
    bool ok = true;
    for (int size : themeSizes)
        ok &= save(
            drawThemeIcon(size),
            QStringLiteral("%1/packaging/icons/%2x%2/%3.png").arg(root).arg(size).arg(iconName));
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // fonts for the contact sheet labels
    const QString root = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    Sets sets, sharp;
    bool ok = saveSets(root, sets, sharp);
    ok &= saveAbout(root);
    ok &= saveThemeIcons(root);
    ok &= save(bothScalesSheet(sets, sharp), root + "/docs/art/contact-sheet.png");
    ok &= save(actualSizeSheet(sets), root + "/docs/art/contact-sheet-1x.png");
    return ok ? 0 : 1;
}
