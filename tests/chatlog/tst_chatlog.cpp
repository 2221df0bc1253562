// The chat log keeps the bytes that arrived and shows them, one row a line, as a
// test driver or an accessibility tool reads them.

#include "protocol/Gb.h"
#include "ui/ChatLog.h"
#include "ui/FindBar.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

namespace {

QByteArray gbBytes(const QString& text) {
    return gb::fromTyped(text);
}

QStringList shownLines(const ChatLog& log) {
    QStringList shown;
    for (int row = 0; row < log.model()->rowCount(); ++row)
        shown.append(log.model()->index(row, 0).data().toString());
    return shown;
}

bool onScreen(const ChatLog& log, int row) {
    const QRect shown = log.visualRect(log.model()->index(row, 0));
    return shown.isValid() && log.viewport()->rect().contains(shown);
}

} // namespace

class ChatLogTest : public QObject {
    Q_OBJECT

private slots:
    void keepsBytesAndShowsThemWithoutCr() {
        ChatLog log;
        const QList<QByteArray> lines{
            gbBytes(QStringLiteral("甲 对 乙 说: 你好")) + '\r',
            QByteArray("plain line without CR"),
            QByteArray(),
            QByteArray("bad \xb0 byte\r"),
        };
        for (const QByteArray& line : lines)
            log.appendLine(line);
        QCOMPARE(log.lines(), lines);
        QTRY_COMPARE(shownLines(log).size(), lines.size());
        const QStringList shown = shownLines(log);
        QCOMPARE(shown[0], QStringLiteral("甲 对 乙 说: 你好"));
        QCOMPARE(shown[1], QStringLiteral("plain line without CR"));
        QCOMPARE(shown[2], QString());
        QVERIFY(!shown[3].contains(QLatin1Char('\r')));
        QVERIFY(shown[3].startsWith(QStringLiteral("bad ")));
    }

    void savesEveryLineWithCrLf() {
        ChatLog log;
        log.appendLine(gbBytes(QStringLiteral("一")) + '\r');
        log.appendLine("two");
        QCOMPARE(log.savedBytes(), gbBytes(QStringLiteral("一")) + "\r\r\ntwo\r\n");
    }

    // Several megabytes of lines: every one kept, shown, saved and found, wherever
    // the store's storage happens to be divided.
    void aLongLogKeepsShowsSavesAndFindsEveryLine() {
        ChatLog log;
        log.resize(300, 200);
        log.show();
        QByteArray expected;
        const QByteArray filler(200, 'x');
        for (int i = 0; i < 12000; ++i) {
            const QByteArray line = "line " + QByteArray::number(i) + ' ' + filler + '\r';
            log.appendLine(line);
            expected += line + "\r\n";
        }
        QCOMPARE(log.savedBytes(), expected);
        const QStringList shown = shownLines(log);
        QCOMPARE(shown.size(), 12000);
        for (int i : {0, 5000, 9999, 11999})
            QCOMPARE(shown[i], QStringLiteral("line %1 ").arg(i) + QString(filler));
        log.openFind();
        QTest::keyClicks(log.findBar()->findText, QStringLiteral("line 1111"));
        // "line 1111 " and "line 11110".."line 11119"
        QCOMPARE(log.findBar()->findCount->text(), QStringLiteral("11/11"));
    }

    void aBurstIsShownInOrder() {
        ChatLog log;
        QStringList expected;
        for (int i = 0; i < 2000; ++i) {
            log.appendLine("line " + QByteArray::number(i) + '\r');
            expected.append(QStringLiteral("line %1").arg(i));
        }
        QTRY_COMPARE(shownLines(log).size(), 2000);
        QCOMPARE(shownLines(log), expected);
        // A later burst goes after the first one, not in its place.
        log.appendLine("after");
        QTRY_COMPARE(shownLines(log).last(), QStringLiteral("after"));
        QCOMPARE(log.lines().size(), 2001);
    }

    void copyRightAfterAnAppendTakesTheLine() {
        ChatLog log;
        log.show();
        log.appendLine("first\r");
        QTRY_VERIFY(shownLines(log).contains(QStringLiteral("first")));
        log.selectAll();
        log.appendLine("second\r");
        log.copy();
        const QString copied = QGuiApplication::clipboard()->text();
        QVERIFY2(copied.contains(QStringLiteral("second")), qPrintable(copied));
        QVERIFY(!copied.contains(QLatin1Char('\r')));
    }

    // After Ctrl+A, lines arriving one turn at a time and several at once are all copied,
    // until the user picks a line of their own.
    void selectAllFollowedOnlyOneNewLine() {
        ChatLog log;
        log.resize(300, 300);
        log.show();
        QVERIFY(QTest::qWaitForWindowExposed(&log));
        QStringList all;
        const auto arrive = [&](const QString& text) {
            all.append(text);
            log.appendLine(gbBytes(text) + '\r');
        };
        arrive(QStringLiteral("一"));
        QTest::keyClick(&log, Qt::Key_A, Qt::ControlModifier);
        for (int i = 0; i < 3; ++i) {
            arrive(QStringLiteral("turn %1").arg(i));
            QTRY_VERIFY(onScreen(log, int(all.size()) - 1));
        }
        for (int i = 0; i < 4; ++i)
            arrive(QStringLiteral("batch %1").arg(i));
        QTest::keyClick(&log, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), all.join(QLatin1Char('\n')));

        QTRY_VERIFY(onScreen(log, 0));
        const QPoint first = log.visualRect(log.model()->index(0, 0)).center();
        QTest::mouseClick(log.viewport(), Qt::LeftButton, {}, first);
        arrive(QStringLiteral("after a click"));
        QTest::keyClick(&log, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), all.first());
    }

    // Lines said back to back, then select all and copy at once, as the popup items do.
    void selectAllAndCopyRightAfterABurst() {
        ChatLog log;
        log.appendLine(gbBytes(QStringLiteral("一")) + '\r');
        log.appendLine("two\r");
        log.appendLine("three\r");
        log.selectAll();
        log.copy();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("一\ntwo\nthree"));
        log.clearLines();
        log.appendLine("after clear\r");
        log.selectAll();
        log.copy();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("after clear"));
    }

    // A character GB2312 lacks was looked for as its substitute ("?", or the full-width
    // space some converters use), so every such line was a hit.
    void findWithACharacterGb2312LacksCountedEveryQuestionMark_data() {
        QTest::addColumn<QString>("needle");
        QTest::newRow("emoji") << QStringLiteral("😀");
        QTest::newRow("rare character") << QStringLiteral("𠀀");
        QTest::newRow("after a letter") << QStringLiteral("a😀");
    }
    void findWithACharacterGb2312LacksCountedEveryQuestionMark() {
        QFETCH(QString, needle);
        ChatLog log;
        log.resize(300, 200);
        log.show();
        log.appendLine("a?\r");
        log.appendLine(gbBytes(QStringLiteral("a\u3000")) + '\r');
        log.appendLine("plain\r");
        log.openFind();
        log.findBar()->findText->insert(needle); // as an input method commits it
        const QString unencodable = QStringLiteral("无此字");
        QCOMPARE(log.findBar()->findCount->text(), unencodable);
        QTest::keyClick(log.findBar()->findText, Qt::Key_Return);
        log.appendLine("later a?\r");
        QCOMPARE(log.findBar()->findCount->text(), unencodable);
        QVERIFY(!log.selectionModel()->hasSelection());

        log.findBar()->findText->setText(QStringLiteral("?"));
        QCOMPARE(log.findBar()->findCount->text(), QStringLiteral("2/2"));
    }

    void keyboardCopyShowsPendingLines() {
        ChatLog log;
        log.show();
        QVERIFY(QTest::qWaitForWindowExposed(&log));
        log.appendLine(gbBytes(QStringLiteral("键盘复制")) + '\r');
        QTest::keyClick(&log, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(&log, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("键盘复制"));
    }

    void copyWithoutSelectionCopiesNothing() {
        ChatLog log;
        QGuiApplication::clipboard()->setText(QStringLiteral("untouched"));
        log.appendLine("line\r");
        log.copy();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("untouched"));
    }

    void clearEmptiesBytesAndDisplay() {
        ChatLog log;
        log.appendLine("shown\r");
        QTRY_VERIFY(!shownLines(log).isEmpty());
        log.appendLine("still waiting\r");
        log.clearLines();
        QVERIFY(log.lines().isEmpty());
        QVERIFY(log.savedBytes().isEmpty());
        QTest::qWait(20);
        // Nothing cleared comes back once the queued update runs.
        QVERIFY(shownLines(log).isEmpty());
        log.appendLine("new\r");
        QTRY_COMPARE(shownLines(log), QStringList{QStringLiteral("new")});
        QCOMPARE(log.lines(), QList<QByteArray>{"new\r"});
    }

    // The time column shows when a line arrived; hovering shows the date and seconds.
    void everyLineShowsWhenItArrived() {
        ChatLog log;
        const QDateTime before = QDateTime::fromSecsSinceEpoch(QDateTime::currentSecsSinceEpoch());
        log.appendLine("timed\r");
        const QDateTime after = QDateTime::currentDateTime();
        const QModelIndex row = log.model()->index(0, 0);
        const QDateTime shown = QDateTime::fromString(row.data(Qt::ToolTipRole).toString(),
                                                      QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        QVERIFY2(shown >= before && shown <= after, qPrintable(shown.toString()));
        QCOMPARE(row.data().toString(), QStringLiteral("timed"));
        QCOMPARE(log.savedBytes(), QByteArray("timed\r\r\n"));
    }

    // Following a quiet room, each new line moves what is on screen up and only the
    // new row is painted; the screen must show exactly what a full repaint would,
    // scroll bar included.
    void followingKeepsTheScreenExact() {
        ChatLog log;
        log.resize(260, 140);
        log.show();
        QVERIFY(QTest::qWaitForWindowExposed(&log));
        for (int i = 0; i < 30; ++i) {
            // Some lines wrap, so rows differ in height.
            log.appendLine("line " + QByteArray::number(i) + QByteArray(i % 4 * 12, 'x') + '\r');
            QTRY_VERIFY(onScreen(log, i));
            QTest::qWait(2 * ChatLog::kFrameMs); // painted before the next arrives
        }
        const QImage screen = log.screen()
                                  ->grabWindow(log.winId())
                                  .toImage()
                                  .convertToFormat(QImage::Format_RGB32);
        const QImage fresh = log.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(screen.size(), fresh.size());
        QVERIFY(screen == fresh);
    }

    // Scrolled up, new lines leave the view alone and a marker counts them; End or a
    // click on the marker goes to the latest line, which is then followed again.
    void scrolledUpTheViewStaysAndAMarkerCountsNewLines() {
        ChatLog log;
        log.resize(300, 120);
        log.show();
        QVERIFY(QTest::qWaitForWindowExposed(&log));
        for (int i = 0; i < 50; ++i)
            log.appendLine("line " + QByteArray::number(i) + '\r');
        QTRY_VERIFY(onScreen(log, 49));
        auto* marker = log.findChild<QToolButton*>(QStringLiteral("newLines"));
        QVERIFY(!marker->isVisible());

        log.verticalScrollBar()->setValue(0);
        for (int i = 50; i < 53; ++i)
            log.appendLine("line " + QByteArray::number(i) + '\r');
        QTRY_VERIFY(marker->isVisible());
        QVERIFY2(marker->text().contains(QLatin1Char('3')), qPrintable(marker->text()));
        QVERIFY(onScreen(log, 0));
        QTest::keyClick(&log, Qt::Key_End);
        QTRY_VERIFY(onScreen(log, 52));
        QVERIFY(!marker->isVisible());
        log.appendLine("followed\r");
        QTRY_VERIFY(onScreen(log, 53));

        log.verticalScrollBar()->setValue(0);
        log.appendLine("one more\r");
        QTRY_VERIFY(marker->isVisible());
        QTest::mouseClick(marker, Qt::LeftButton);
        QTRY_VERIFY(onScreen(log, 54));
        QVERIFY(!marker->isVisible());
    }
};

QTEST_MAIN(ChatLogTest)
#include "tst_chatlog.moc"
