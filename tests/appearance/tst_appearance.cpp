#include "ScriptedDialogs.h"
#include "app/SettingsPage.h"
#include "appearance/Appearance.h"
#include "appearance/PictureSets.h"
#include "appearance/SetChooser.h"
#include "appearance/SettingsFile.h"
#include "appearance/WidgetColours.h"
#include "ui/ChatLog.h"
#include "ui/ChatPage.h"
#include "ui/ErrorBoundary.h"
#include "ui/PreviewWidgets.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <unistd.h>

namespace {

const QByteArray goodFile = "255\r\n65280\r\n16711680\r\n8421504\r\n33023\r\n12632256\r\n3\r\n";
// The colours of goodFile's entries 0..5.
const QColor goodColours[] = {QColor(255, 0, 0),     QColor(0, 255, 0),   QColor(0, 0, 255),
                              QColor(128, 128, 128), QColor(255, 128, 0), QColor(192, 192, 192)};

QByteArray crlf(std::initializer_list<const char*> lines) {
    QByteArray out;
    for (const char* line : lines)
        out += QByteArray(line) + "\r\n";
    return out;
}

QByteArray fileBytes() {
    QFile file(QStringLiteral("col.col"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QByteArray& bytes) {
    QFile file(QStringLiteral("col.col"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

QImage iconImage(const QIcon& icon) {
    return icon.pixmap(QSize(32, 32)).toImage().convertToFormat(QImage::Format_ARGB32);
}

// What a picture control shows for a picture, transparent or not.
QImage shownBy(const PictureBox* box, const QImage& picture) {
    PictureBox probe(box->isTransparent());
    probe.setPicture(picture);
    return probe.shownImage();
}

// Root ignores file permissions, so as root the body runs as the unprivileged user
// "nobody"; active() is false when that is impossible here.
class FilePermissionsInForce {
public:
    FilePermissionsInForce() {
        if (geteuid() != 0) {
            active_ = true;
            return;
        }
        QFile::setPermissions(QStringLiteral("."), QFileDevice::Permissions(0x7777));
        if (setegid(65534) != 0)
            return;
        if (seteuid(65534) != 0) {
            restoreGroup();
            return;
        }
        switched_ = true;
        active_ = access(".", W_OK | X_OK) == 0;
    }
    ~FilePermissionsInForce() {
        if (!switched_)
            return;
        if (seteuid(0) != 0)
            qFatal("cannot restore the test's user");
        restoreGroup();
    }
    bool active() const { return active_; }

private:
    static void restoreGroup() {
        if (setegid(0) != 0)
            qFatal("cannot restore the test's group");
    }

    bool active_ = false;
    bool switched_ = false;
};

// The controls the main window would hand over, in a window of their own.
struct Rig {
    QWidget window;
    QTabWidget* page;
    SettingsPage* settings;
    ChatPage* chat;
    QListWidget* list2;
    QPushButton* Button1;
    Appearance* appearance;

    Rig() {
        window.resize(571, 430);
        page = new QTabWidget(&window);
        page->setGeometry(0, 0, 571, 411);
        page->setIconSize(QSize(32, 32));
        settings = new SettingsPage;
        chat = new ChatPage;
        page->addTab(settings, QStringLiteral("设置(&S)"));
        page->addTab(chat, QStringLiteral("聊天室(&T)"));
        page->addTab(new QWidget, QStringLiteral("关于(&A)"));
        list2 = new QListWidget(&window);
        list2->setVisible(false);
        Button1 = new QPushButton(QStringLiteral("combutton"), &window);
        Button1->setVisible(false);
        appearance = new Appearance(
            settings->appearanceControls(chat, page, list2, Button1, &window), &window);
    }

    void start() {
        runGuarded([this] { appearance->loadAndApply(); });
    }
    bool show() {
        window.show();
        return QTest::qWaitForWindowExposed(&window);
    }

    QComboBox* com1() const { return settings->com1; }
    QList<PictureBox*> pictures() const {
        return {settings->pic9, settings->pic10, settings->pic11, settings->pic12};
    }
    QList<QAction*> menuItems() const {
        // Slots 3..8: pop2's three items, then pop1's; items added after them have no slot.
        return chat->pop2->actions().mid(0, 3) + chat->pop1->actions();
    }
    QWidget* target(int entry) const {
        QWidget* targets[] = {chat->Memo1, chat->Edit5, chat->list1};
        return targets[entry / 2];
    }
    QColor targetColour(int entry) const {
        return entry % 2 ? appearance::backgroundColour(target(entry))
                         : appearance::textColour(target(entry));
    }
    QColor elementColour(int entry) const {
        switch (entry) {
        case 0:
            return settings->colsay->textColour();
        case 1:
            return settings->colrich->fillColour();
        case 2:
            return settings->colspeak->textColour();
        case 3:
            return settings->coltext->fillColour();
        case 4:
            return settings->coluser->textColour();
        default:
            return settings->collist->fillColour();
        }
    }
    // The user presses on a preview element: a click on a label, any button on a shape.
    void press(int entry) {
        QWidget* elements[] = {settings->colsay,  settings->colrich, settings->colspeak,
                               settings->coltext, settings->coluser, settings->collist};
        QWidget* w = elements[entry];
        if (entry % 2 == 0)
            QTest::mouseClick(w, Qt::LeftButton);
        else
            QTest::mouseClick(w, Qt::RightButton, {}, w->rect().bottomRight() - QPoint(3, 3));
    }

    // All 13 places as they look now: three tabs, six menu items, four pictures.
    QList<QImage> places() const {
        QList<QImage> out;
        for (int i = 0; i < 3; ++i)
            out.append(iconImage(page->tabIcon(i)));
        for (QAction* item : menuItems())
            out.append(iconImage(item->icon()));
        for (PictureBox* pic : pictures())
            out.append(pic->shownImage());
        return out;
    }
    // The 13 places as set n draws them.
    QList<QImage> placesOf(int n) const {
        const ImageList* set = appearance->pictureSets().set(n);
        QList<QImage> out;
        for (int slot = 0; slot < 9; ++slot)
            out.append(iconImage(set->icon(slot)));
        const QList<PictureBox*> pics = pictures();
        for (int i = 0; i < 4; ++i)
            out.append(shownBy(pics[i], set->picture(9 + i)));
        return out;
    }
    bool tabsAndMenusShow(int n) const { return places().mid(0, 9) == placesOf(n).mid(0, 9); }
    bool picturesShow(int n) const { return places().mid(9) == placesOf(n).mid(9); }
    bool picturesEmpty() const {
        for (PictureBox* pic : pictures()) {
            if (pic->hasPicture())
                return false;
        }
        return true;
    }
};

} // namespace

class TestAppearance : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    QString home_ = QDir::currentPath();

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        QVERIFY(QDir::setCurrent(dir_->path()));
    }
    void cleanup() {
        QDir::setCurrent(home_);
        dir_.reset();
    }

    void picturesComeFromTheResources_data() {
        QTest::addColumn<int>("set");
        for (int n = 0; n < PictureSets::setCount; ++n)
            QTest::newRow(qPrintable(PictureSets::itemText(n))) << n;
    }

    void picturesComeFromTheResources() {
        QFETCH(int, set);
        const ImageList list(set);
        for (int slot = 0; slot < ImageList::slotCount; ++slot) {
            const QString path = ImageList::resourcePath(set, slot);
            const QImage source(path);
            QVERIFY2(!source.isNull(), qPrintable(path));
            QCOMPARE(source.size(), QSize(32, 32));
            QVERIFY2(source.hasAlphaChannel(), qPrintable(path));
            const QImage drawn = list.picture(slot);
            QCOMPARE(drawn.size(), QSize(32, 32));
            int masked = 0;
            for (int y = 0; y < 32; ++y) {
                for (int x = 0; x < 32; ++x) {
                    if (qAlpha(source.pixel(x, y)) == 0) {
                        ++masked;
                        QCOMPARE(drawn.pixel(x, y), ImageList::background);
                    }
                }
            }
            QVERIFY2(masked > 0, qPrintable(path + QStringLiteral(" has no transparent pixel")));
        }
        QVERIFY(list.isComplete());
    }

    // Tabs, menu items and the four pictures show the pictures drawn for the screen's scale:
    // exactly the 32 x 32 ones at 1, the 64 x 64 ones at 2 (CTest runs this once more at 2).
    void picturesSuitTheScreensScale() {
        Rig rig;
        rig.start();
        QVERIFY(rig.show());
        const int set = rig.com1()->currentIndex();
        QCOMPARE(set, 0);
        const qreal ratio = rig.window.devicePixelRatioF();
        const int scale = ratio > 1 ? 2 : 1;
        const auto expected = [&](int slot) {
            QImage out(QSize(32, 32) * scale, QImage::Format_ARGB32);
            out.setDevicePixelRatio(scale);
            out.fill(ImageList::background);
            QPainter painter(&out);
            painter.drawImage(0, 0, QImage(ImageList::resourcePath(set, slot, scale)));
            return out;
        };
        QList<QIcon> icons;
        for (int i = 0; i < 3; ++i)
            icons.append(rig.page->tabIcon(i));
        for (QAction* item : rig.menuItems())
            icons.append(item->icon());
        for (int slot = 0; slot < 9; ++slot) {
            const QImage shown = icons[slot].pixmap(QSize(32, 32), ratio).toImage();
            QCOMPARE(shown.convertToFormat(QImage::Format_ARGB32), expected(slot));
        }
        for (int i = 0; i < 4; ++i) {
            PictureBox* pic = rig.pictures()[i];
            const QImage shown = pic->grab().toImage().convertToFormat(QImage::Format_ARGB32);
            const QImage want = expected(9 + i);
            QCOMPARE(shown.size(), want.size());
            // Where a transparent control lets the page through, the page is not ours to check.
            for (int y = 0; y < want.height(); ++y)
                for (int x = 0; x < want.width(); ++x)
                    if (!pic->isTransparent() || want.pixel(x, y) != ImageList::background)
                        QCOMPARE(shown.pixel(x, y), want.pixel(x, y));
        }
    }

    void asBuilt() {
        ScriptedDialogs dialogs;
        Rig rig;
        QCOMPARE(rig.appearance->settingsList().entries(), SettingsList::defaults());
        QCOMPARE(rig.list2->count(), 7);
        QCOMPARE(rig.list2->item(1)->text(), QStringLiteral("16777215"));
        const QStringList items{QStringLiteral("小猫咪"), QStringLiteral("小丸子"),
                                QStringLiteral("小人物"), QStringLiteral("小星座"),
                                QStringLiteral("小帽子"), QStringLiteral("Pinwa人"),
                                QStringLiteral("小雪人")};
        QStringList shown;
        for (int i = 0; i < rig.com1()->count(); ++i)
            shown.append(rig.com1()->itemText(i));
        QCOMPARE(shown, items);
        QCOMPARE(rig.com1()->currentIndex(), -1);
        QStyleOptionViewItem option;
        option.initFrom(rig.com1()->view());
        QCOMPARE(
            rig.com1()->itemDelegate()->sizeHint(option, rig.com1()->model()->index(0, 0)).height(),
            16);
        QVERIFY(rig.tabsAndMenusShow(0));
        QVERIFY(rig.picturesEmpty());
        QVERIFY(!QFile::exists(QStringLiteral("col.col")));
        for (const char* name : {"imagelist0", "ImageList1", "ImageList6"})
            QVERIFY2(rig.window.findChild<ImageList*>(QLatin1String(name)), name);
        QVERIFY(dialogs.asked.isEmpty());
    }

    void firstStartWritesTheDefaults() {
        ScriptedDialogs dialogs;
        Rig rig;
        QList<QColor> initial;
        for (int e = 0; e < 6; ++e)
            initial.append(rig.targetColour(e));
        rig.start();
        QCOMPARE(dialogs.allTexts(), QStringList());
        const QByteArray defaults = crlf({"0", "16777215", "0", "16777215", "0", "16777215", "0"});
        QCOMPARE(defaults.size(), 42);
        QCOMPARE(fileBytes(), defaults);
        QCOMPARE(rig.com1()->currentIndex(), 0);
        QVERIFY(rig.picturesShow(0));
        QVERIFY(rig.tabsAndMenusShow(0));
        for (int e = 0; e < 6; ++e)
            QCOMPARE(rig.targetColour(e), initial[e]);
    }

    void folderNamedLikeTheFileCountsAsNoFile() {
        ScriptedDialogs dialogs;
        QVERIFY(QDir().mkdir(QStringLiteral("col.col")));
        Rig rig;
        rig.start();
        // Taken for a first start, whose save then fails before a set is chosen.
        QCOMPARE(dialogs.texts("error"),
                 QStringList{QStringLiteral("Cannot create file col.col.")});
        QCOMPARE(rig.com1()->currentIndex(), -1);
        QVERIFY(rig.picturesEmpty());
        QVERIFY(QFileInfo(QStringLiteral("col.col")).isDir());
    }

    void loading_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QByteArray>("saved");
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("applied");
        const QByteArray lf = QByteArray(goodFile).replace("\r\n", "\n");
        const QByteArray cr = QByteArray(goodFile).replace("\r\n", "\r");
        auto with = [](int entry, const char* text) {
            QList<QByteArray> lines = appearance::splitLines(goodFile);
            lines[entry] = text;
            return appearance::joinLines(lines);
        };
        auto firstLines = [](int n) {
            return appearance::joinLines(appearance::splitLines(goodFile).mid(0, n));
        };
        const QString none;

        QTest::newRow("CR LF") << goodFile << none << goodFile << 3 << 6;
        QTest::newRow("LF ends become CR LF") << lf << none << goodFile << 3 << 6;
        QTest::newRow("lone CR, last line without end")
            << cr.chopped(1) << none << goodFile << 3 << 6;
        QTest::newRow("spaces before a number")
            << with(0, "  255") << none << with(0, "  255") << 3 << 6;
        QTest::newRow("hex forms")
            << crlf({"$FF", "x00FF00", "XFF0000", "0x808080", "$0080ff", "12632256", "$3"}) << none
            << crlf({"$FF", "x00FF00", "XFF0000", "0x808080", "$0080ff", "12632256", "3"}) << 3
            << 6;
        QTest::newRow("set 9: none selected, -1 stored")
            << with(6, "9") << none << with(6, "-1") << -1 << 6;
        QTest::newRow("set -1 stays -1") << with(6, "-1") << none << with(6, "-1") << -1 << 6;
        QTest::newRow("eighth line survives") << goodFile + "\xc4\xe3\xba\xc3 8\r\n"
                                              << none << goodFile + "\xc4\xe3\xba\xc3 8\r\n"
                                              << 3 << 6;
        QTest::newRow("NUL ends the file") << goodFile + QByteArray("\0"
                                                                    "9\r\n",
                                                                    4)
                                           << none << goodFile << 3 << 6;
        QTest::newRow("space after a number")
            << with(0, "255 ") << QStringLiteral("'255 ' is not a valid integer value.")
            << with(0, "255 ") << -1 << 0;
        QTest::newRow("tab before a number")
            << with(0, "\t255") << QStringLiteral("'\t255' is not a valid integer value.")
            << with(0, "\t255") << -1 << 0;
        QTest::newRow("third entry is a word")
            << with(2, "blue") << QStringLiteral("'blue' is not a valid integer value.")
            << with(2, "blue") << -1 << 2;
        QTest::newRow("empty entry")
            << with(4, "") << QStringLiteral("'' is not a valid integer value.") << with(4, "")
            << -1 << 4;
        QTest::newRow("beyond 32 bits")
            << with(1, "4294967296") << QStringLiteral("'4294967296' is not a valid integer value.")
            << with(1, "4294967296") << -1 << 1;
        QTest::newRow("set entry is a word")
            << with(6, "three") << QStringLiteral("'three' is not a valid integer value.")
            << with(6, "three") << -1 << 6;
        QTest::newRow("empty file")
            << QByteArray() << QStringLiteral("List index out of bounds (0)") << QByteArray() << -1
            << 0;
        QTest::newRow("three lines")
            << firstLines(3) << QStringLiteral("List index out of bounds (3)") << firstLines(3)
            << -1 << 3;
        QTest::newRow("six lines")
            << firstLines(6) << QStringLiteral("List index out of bounds (6)") << firstLines(6)
            << -1 << 6;
    }

    void loading() {
        QFETCH(QByteArray, content);
        QFETCH(QString, error);
        QFETCH(QByteArray, saved);
        QFETCH(int, selected);
        QFETCH(int, applied);
        ScriptedDialogs dialogs;
        writeFile(content);
        Rig rig;
        QList<QColor> initialTargets, initialElements;
        for (int e = 0; e < 6; ++e) {
            initialTargets.append(rig.targetColour(e));
            initialElements.append(rig.elementColour(e));
        }
        rig.start();

        QCOMPARE(dialogs.texts("error"), error.isEmpty() ? QStringList() : QStringList{error});
        QCOMPARE(fileBytes(), saved);
        QCOMPARE(rig.com1()->currentIndex(), selected);
        for (int e = 0; e < 6; ++e) {
            const bool set = e < applied;
            QCOMPARE(rig.elementColour(e), set ? goodColours[e] : initialElements[e]);
            QCOMPARE(rig.targetColour(e), set ? goodColours[e] : initialTargets[e]);
        }
        QVERIFY(rig.tabsAndMenusShow(selected >= 0 ? selected : 0));
        if (selected >= 0)
            QVERIFY(rig.picturesShow(selected));
        else
            QVERIFY(rig.picturesEmpty());
    }

    void systemColourSurvivesSaves() {
        ScriptedDialogs dialogs;
        QList<QByteArray> lines = appearance::splitLines(goodFile);
        lines[0] = "-2147483640";
        lines[1] = "-2147483643";
        writeFile(appearance::joinLines(lines));
        Rig rig;
        QVERIFY(rig.show());
        rig.start();
        QCOMPARE(dialogs.allTexts(), QStringList());
        const QPalette desktop = QGuiApplication::palette();
        QCOMPARE(appearance::textColour(rig.chat->Memo1), desktop.color(QPalette::Text));
        QCOMPARE(appearance::backgroundColour(rig.chat->Memo1), desktop.color(QPalette::Base));
        QCOMPARE(appearance::splitLines(fileBytes()).mid(0, 2), lines.mid(0, 2));

        dialogs.colourAnswers = {QColor(1, 2, 3)};
        rig.press(1);
        QCOMPARE(dialogs.colourPresets, QList<QColor>{desktop.color(QPalette::Base)});
        lines[1] = "197121";
        QCOMPARE(appearance::splitLines(fileBytes()), lines);
        QCOMPARE(dialogs.texts("error"), QStringList());
    }

    void colourChange_data() {
        QTest::addColumn<int>("entry");
        QTest::newRow("colsay: log text") << 0;
        QTest::newRow("colrich: log background") << 1;
        QTest::newRow("colspeak: input text") << 2;
        QTest::newRow("coltext: input background") << 3;
        QTest::newRow("coluser: list text") << 4;
        QTest::newRow("collist: list background") << 5;
    }

    void colourChange() {
        QFETCH(int, entry);
        ScriptedDialogs dialogs;
        writeFile(goodFile);
        Rig rig;
        QVERIFY(rig.show());
        rig.start();
        const QColor chosen(0x12, 0x34, 0x56);
        dialogs.colourAnswers = {chosen};
        rig.press(entry);

        QCOMPARE(dialogs.colourPresets, QList<QColor>{goodColours[entry]});
        QCOMPARE(dialogs.texts("error"), QStringList());
        QCOMPARE(rig.elementColour(entry), chosen);
        QCOMPARE(rig.targetColour(entry), chosen);
        for (int other = 0; other < 6; ++other) {
            if (other != entry)
                QCOMPARE(rig.targetColour(other), goodColours[other]);
        }
        QList<QByteArray> expected = appearance::splitLines(goodFile);
        expected[entry] = QByteArray::number(0x563412);
        QCOMPARE(fileBytes(), appearance::joinLines(expected));
    }

    void cancelledDialogWritesNothing() {
        ScriptedDialogs dialogs;
        writeFile(goodFile);
        Rig rig;
        QVERIFY(rig.show());
        rig.start();
        writeFile("untouched");
        for (int entry = 0; entry < 6; ++entry)
            rig.press(entry);
        QCOMPARE(dialogs.texts("colour").size(), 6);
        QCOMPARE(dialogs.texts("error"), QStringList());
        QCOMPARE(fileBytes(), QByteArray("untouched"));
        QCOMPARE(rig.appearance->settingsList().entries(), appearance::splitLines(goodFile));
        for (int entry = 0; entry < 6; ++entry) {
            QCOMPARE(rig.elementColour(entry), goodColours[entry]);
            QCOMPARE(rig.targetColour(entry), goodColours[entry]);
        }
    }

    void shortFileIsWrittenByEntryNumber() {
        ScriptedDialogs dialogs;
        const QByteArray three = crlf({"255", "65280", "16711680"});
        writeFile(three);
        Rig rig;
        QVERIFY(rig.show());
        rig.start();
        QCOMPARE(dialogs.texts("error"),
                 QStringList{QStringLiteral("List index out of bounds (3)")});
        dialogs.clear();

        // Entry 3 is one past the end: appended.
        dialogs.colourAnswers = {QColor(0, 0, 1)};
        rig.press(3);
        QCOMPARE(dialogs.texts("error"), QStringList());
        QCOMPARE(fileBytes(), three + "65536\r\n");
        QCOMPARE(rig.targetColour(3), QColor(0, 0, 1));

        // Entry 5 lies beyond it: the preview takes the colour, the list does not.
        const QColor listBefore = rig.targetColour(5);
        dialogs.colourAnswers = {QColor(0, 0, 2)};
        rig.press(5);
        QCOMPARE(dialogs.texts("error"), QStringList{QStringLiteral("Unable to insert a line.")});
        QCOMPARE(rig.elementColour(5), QColor(0, 0, 2));
        QCOMPARE(rig.targetColour(5), listBefore);
        QCOMPARE(fileBytes(), three + "65536\r\n");

        // So does entry 6: the set shows but is not stored.
        dialogs.clear();
        QTest::keyClick(rig.com1(), Qt::Key_Down);
        QCOMPARE(dialogs.texts("error"), QStringList{QStringLiteral("Unable to insert a line.")});
        QCOMPARE(rig.com1()->currentIndex(), 0);
        QVERIFY(rig.picturesShow(0));
        QCOMPARE(fileBytes(), three + "65536\r\n");
    }

    void readOnlyFileCannotBeCreated() {
        ScriptedDialogs dialogs;
        FilePermissionsInForce permissions;
        if (!permissions.active())
            QSKIP("cannot act as an unprivileged user here, and root ignores file permissions");
        writeFile(goodFile);
        QVERIFY(QFile::setPermissions(QStringLiteral("col.col"), QFileDevice::ReadOwner));
        Rig rig;
        QVERIFY(rig.show());
        rig.start();
        // Reported after everything has been applied.
        QCOMPARE(dialogs.texts("error"),
                 QStringList{QStringLiteral("Cannot create file col.col.")});
        for (int e = 0; e < 6; ++e)
            QCOMPARE(rig.targetColour(e), goodColours[e]);
        QCOMPARE(rig.com1()->currentIndex(), 3);
        QVERIFY(rig.picturesShow(3));
        QCOMPARE(fileBytes(), goodFile);

        // A change is on screen at once and saved with the next successful save.
        dialogs.clear();
        dialogs.colourAnswers = {QColor(0, 0, 1)};
        rig.press(0);
        QCOMPARE(dialogs.texts("error"),
                 QStringList{QStringLiteral("Cannot create file col.col.")});
        QCOMPARE(rig.targetColour(0), QColor(0, 0, 1));
        QVERIFY(QFile::setPermissions(QStringLiteral("col.col"),
                                      QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QTest::keyClick(rig.com1(), Qt::Key_Down);
        QCOMPARE(fileBytes(),
                 crlf({"65536", "65280", "16711680", "8421504", "33023", "12632256", "4"}));
    }

    void folderInPlaceOfTheFileCannotBeCreated() {
        ScriptedDialogs dialogs;
        Rig rig;
        QVERIFY(rig.show());
        rig.start();
        QVERIFY(QFile::remove(QStringLiteral("col.col")));
        QVERIFY(QDir().mkdir(QStringLiteral("col.col")));
        dialogs.colourAnswers = {QColor(0, 0, 1)};
        rig.press(5);
        QCOMPARE(dialogs.texts("error"),
                 QStringList{QStringLiteral("Cannot create file col.col.")});
        QCOMPARE(rig.targetColour(5), QColor(0, 0, 1));
        QVERIFY(QDir().rmdir(QStringLiteral("col.col")));
        QTest::keyClick(rig.com1(), Qt::Key_Down);
        QCOMPARE(fileBytes(), crlf({"0", "16777215", "0", "16777215", "0", "65536", "1"}));
    }

    // A file that could not be opened at start-up leaves an empty settings list; a
    // save must not replace the stored settings with it.
    void unopenableFileIsNotReplacedBySave() {
        ScriptedDialogs dialogs;
        FilePermissionsInForce permissions;
        if (!permissions.active())
            QSKIP("cannot act as an unprivileged user here, and root ignores file permissions");
        const QByteArray stored = goodFile + "kept\r\n";
        writeFile(stored);
        // Writable but not readable: a save would go through.
        QVERIFY(QFile::setPermissions(QStringLiteral("col.col"), QFileDevice::WriteOwner));
        Rig rig;
        QVERIFY(rig.show());
        QList<QColor> initial;
        for (int e = 0; e < 6; ++e)
            initial.append(rig.targetColour(e));
        rig.start();
        QCOMPARE(dialogs.texts("error"), QStringList{QStringLiteral("Cannot open file col.col.")});
        QCOMPARE(rig.com1()->currentIndex(), -1);
        QVERIFY(rig.picturesEmpty());
        for (int e = 0; e < 6; ++e)
            QCOMPARE(rig.targetColour(e), initial[e]);

        dialogs.clear();
        dialogs.colourAnswers = {QColor(0, 0, 1)};
        rig.press(0);
        QTest::keyClick(rig.com1(), Qt::Key_Down);
        QCOMPARE(dialogs.texts("error"),
                 (QStringList{QStringLiteral("Cannot open file col.col."),
                              QStringLiteral("Cannot open file col.col.")}));
        QCOMPARE(rig.targetColour(0), initial[0]);
        QVERIFY(QFile::setPermissions(QStringLiteral("col.col"),
                                      QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QCOMPARE(fileBytes(), stored);

        // Readable again: the change joins what the file holds.
        dialogs.clear();
        dialogs.colourAnswers = {QColor(0, 0, 2)};
        rig.press(2);
        QCOMPARE(dialogs.texts("error"), QStringList());
        QCOMPARE(rig.targetColour(2), QColor(0, 0, 2));
        QList<QByteArray> expected = appearance::splitLines(stored);
        expected[2] = "131072";
        QCOMPARE(fileBytes(), appearance::joinLines(expected));
    }

    void unopenableFileRemovedMeanwhileStartsFromTheDefaults() {
        ScriptedDialogs dialogs;
        FilePermissionsInForce permissions;
        if (!permissions.active())
            QSKIP("cannot act as an unprivileged user here, and root ignores file permissions");
        writeFile(goodFile);
        QVERIFY(QFile::setPermissions(QStringLiteral("col.col"), QFileDevice::WriteOwner));
        Rig rig;
        QVERIFY(rig.show());
        rig.start();
        QCOMPARE(dialogs.texts("error"), QStringList{QStringLiteral("Cannot open file col.col.")});
        QVERIFY(QFile::remove(QStringLiteral("col.col")));
        dialogs.clear();
        dialogs.colourAnswers = {QColor(0, 0, 1)};
        rig.press(4);
        QCOMPARE(dialogs.texts("error"), QStringList());
        QCOMPARE(fileBytes(), crlf({"0", "16777215", "0", "16777215", "65536", "16777215", "0"}));
    }

    void pickedSetPersistsAndIsRestored() {
        ScriptedDialogs dialogs;
        QList<QImage> before;
        {
            Rig rig;
            QVERIFY(rig.show());
            rig.start();
            before = rig.places();
            QComboBox* com1 = rig.com1();
            com1->showPopup();
            QAbstractItemView* view = com1->view();
            QTRY_VERIFY(view->isVisible());
            const QRect row = view->visualRect(com1->model()->index(6, 0));
            QCOMPARE(row.height(), ChooserRowDelegate::rowHeight);
            const QPoint at = row.center();
            QTest::mouseMove(view->viewport(), at);
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
            QTRY_VERIFY(!view->isVisible());
            QCOMPARE(com1->currentText(), QStringLiteral("小雪人"));
            QCOMPARE(appearance::splitLines(fileBytes()).value(6), QByteArray("6"));
        }
        Rig next;
        next.start();
        QCOMPARE(dialogs.texts("error"), QStringList());
        QCOMPARE(next.com1()->currentIndex(), 6);
        const QList<QImage> after = next.places();
        QCOMPARE(after, next.placesOf(6));
        for (int place = 0; place < 13; ++place)
            QVERIFY2(after[place] != before[place], qPrintable(QString::number(place)));
    }

    void arrowKeysApplyAndSaveEachSet() {
        ScriptedDialogs dialogs;
        Rig rig;
        QVERIFY(rig.show());
        rig.start();
        for (int n = 1; n < PictureSets::setCount; ++n) {
            QTest::keyClick(rig.com1(), Qt::Key_Down);
            QCOMPARE(appearance::splitLines(fileBytes()).value(6), QByteArray::number(n));
            QVERIFY(rig.picturesShow(n));
            QVERIFY(rig.tabsAndMenusShow(n));
        }
        // No step past the last item, so nothing to apply.
        writeFile("untouched");
        QTest::keyClick(rig.com1(), Qt::Key_Down);
        QCOMPARE(fileBytes(), QByteArray("untouched"));
        QTest::keyClick(rig.com1(), Qt::Key_Up);
        QCOMPARE(appearance::splitLines(fileBytes()).value(6), QByteArray("5"));
        QVERIFY(rig.picturesShow(5));
        QCOMPARE(dialogs.texts("error"), QStringList());
    }

    void selectionByTheProgramTriggersNothing() {
        ScriptedDialogs dialogs;
        Rig rig;
        rig.start();
        writeFile("untouched");
        rig.com1()->setCurrentIndex(4);
        QCOMPARE(fileBytes(), QByteArray("untouched"));
        QVERIFY(rig.picturesShow(0));
        QVERIFY(rig.tabsAndMenusShow(0));
    }
};

QTEST_MAIN(TestAppearance)
#include "tst_appearance.moc"
