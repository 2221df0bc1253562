// The col.col reader: a file of any bytes loaded into the settings list, every
// entry read as a colour value, the list saved and read back.
#include "Require.h"
#include "appearance/ColourValue.h"
#include "appearance/SettingsFile.h"
#include "appearance/SettingsList.h"
#include "protocol/Errors.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace {

void checkEntry(const QByteArray& entry) {
    const std::optional<qint32> value = appearance::parseInteger(entry);
    try {
        const qint32 read = appearance::toInteger(entry);
        require(value && read == *value, "toInteger and parseInteger disagree");
        const QColor colour = appearance::colourFromValue(read);
        require(colour.isValid(), "a colour value gives no colour");
        if (read >= 0 && read <= 0xffffff)
            require(appearance::valueFromColour(colour) == read,
                    "an RGB value does not round-trip");
    } catch (const EPinwaError&) {
        require(!value, "toInteger refuses a number parseInteger reads");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(*argc, *argv);
    // col.col is looked up in the working directory: give the fuzzer one of its own, in
    // memory where there is a tmpfs, since a disk flushes each rewritten col.col on close.
    const QString shm = QStringLiteral("/dev/shm");
    static QTemporaryDir dir(QFileInfo(shm).isWritable()
                                 ? shm + "/fuzz_colcol-XXXXXX"
                                 : QDir::tempPath() + "/fuzz_colcol-XXXXXX");
    QDir::setCurrent(dir.path());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray content(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QList<QByteArray> lines = appearance::splitLines(content);
    for (const QByteArray& l : lines)
        require(!l.contains('\r') && !l.contains('\n') && !l.contains('\0'),
                "a line keeps a line end or a NUL");
    require(appearance::splitLines(appearance::joinLines(lines)) == lines,
            "written lines do not read back");

    QFile file(appearance::settingsFileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(content);
    file.close();

    // One list box for the whole run: making a widget per input costs more than the
    // input, and the settings list refills the box when it is made.
    static QListWidget list2;
    SettingsList settings(&list2);
    settings.load();
    require(settings.entries() == lines, "the list does not hold the file's lines");
    for (const QByteArray& entry : settings.entries())
        checkEntry(entry);
    if (settings.count() > 0)
        settings.writeEntry(0, "255");
    settings.save();
    // Read back as the next start reads it: the same entries, not just as many.
    require(appearance::readSettingsFile(appearance::settingsFileName) == settings.entries(),
            "a saved list does not read back as it was");
    return 0;
}
