// The chat log keeps the bytes that arrived and shows them; its display is
// brought up to date a turn later or as soon as someone reads it.

#include "protocol/Gb.h"
#include "ui/ChatLog.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>

namespace {

QByteArray gbBytes(const QString& text) {
    return gb::fromTyped(text);
}

QStringList shownLines(const ChatLog& log) {
    return log.toPlainText().split(QLatin1Char('\n'));
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

    void aBurstIsShownInOrder() {
        ChatLog log;
        QStringList expected;
        for (int i = 0; i < 2000; ++i) {
            log.appendLine("line " + QByteArray::number(i) + '\r');
            expected.append(QStringLiteral("line %1").arg(i));
        }
        QTRY_COMPARE(log.blockCount(), 2000);
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
        QTRY_VERIFY(log.toPlainText().contains(QStringLiteral("first")));
        log.selectAll();
        log.appendLine("second\r");
        log.copy();
        const QString copied = QGuiApplication::clipboard()->text();
        QVERIFY2(copied.contains(QStringLiteral("second")), qPrintable(copied));
        QVERIFY(!copied.contains(QLatin1Char('\r')));
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
        QTRY_VERIFY(!log.toPlainText().isEmpty());
        log.appendLine("still waiting\r");
        log.clearLines();
        QVERIFY(log.lines().isEmpty());
        QVERIFY(log.savedBytes().isEmpty());
        QTest::qWait(20);
        // Nothing cleared comes back once the queued update runs.
        QVERIFY(log.toPlainText().isEmpty());
        log.appendLine("new\r");
        QTRY_COMPARE(log.toPlainText(), QStringLiteral("new"));
        QCOMPARE(log.lines(), QList<QByteArray>{"new\r"});
    }
};

QTEST_MAIN(ChatLogTest)
#include "tst_chatlog.moc"
