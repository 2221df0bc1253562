#include "appearance/ColourValue.h"
#include "appearance/SettingsFile.h"

#include <QGuiApplication>
#include <QPalette>
#include <QtTest>

using appearance::parseInteger;

// Entry syntax, line splitting and colour values of col.col.
class TestColourValue : public QObject {
    Q_OBJECT

private slots:
    void numberSyntax_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<qint32>("value");
        auto ok = [](const char* name, const QByteArray& text, qint32 value) {
            QTest::newRow(name) << text << true << value;
        };
        auto bad = [](const char* name, const QByteArray& text) {
            QTest::newRow(name) << text << false << 0;
        };
        ok("zero", "0", 0);
        ok("white", "16777215", 16777215);
        ok("leading spaces", "  255", 255);
        ok("leading zeros", "007", 7);
        ok("plus", "+5", 5);
        ok("minus", "-5", -5);
        ok("spaces then sign", "  -12", -12);
        ok("dollar hex", "$FF", 255);
        ok("lower-case hex digits", "$ff", 255);
        ok("x hex", "xFF", 255);
        ok("X hex", "XFF", 255);
        ok("0x hex", "0xFF", 255);
        ok("0X hex", "0XFF", 255);
        ok("negative hex", "-$FF", -255);
        ok("hex system colour", "$80000005", -2147483643);
        ok("hex all bits", "$FFFFFFFF", -1);
        ok("largest", "2147483647", 2147483647);
        ok("smallest", "-2147483648", -2147483647 - 1);
        ok("window text system colour", "-2147483640", -2147483640);
        bad("empty", "");
        bad("only spaces", "  ");
        bad("trailing space", "255 ");
        bad("leading tab", "\t255");
        bad("space after sign", "- 5");
        bad("two signs", "+-1");
        bad("only sign", "-");
        bad("only dollar", "$");
        bad("only 0x", "0x");
        bad("hex digit in decimal", "1F");
        bad("exponent", "1e3");
        bad("decimal point", "1.0");
        bad("above 32 bits signed", "2147483648");
        bad("below 32 bits signed", "-2147483649");
        bad("hex above 32 bits", "$100000000");
        bad("not a hex digit", "$G1");
        bad("double prefix", "$0x1");
        bad("trailing CR", "5\r");
        bad("GB2312 text", "\xc4\xe3\xba\xc3");
    }

    void numberSyntax() {
        QFETCH(QByteArray, text);
        QFETCH(bool, valid);
        QFETCH(qint32, value);
        const std::optional<qint32> parsed = parseInteger(text);
        QCOMPARE(parsed.has_value(), valid);
        if (valid)
            QCOMPARE(*parsed, value);
    }

    void conversionErrorShowsTheEntry() {
        try {
            appearance::toInteger("255 ");
            QFAIL("no error");
        } catch (const std::exception& e) {
            QCOMPARE(QString::fromUtf8(e.what()),
                     QStringLiteral("'255 ' is not a valid integer value"));
        }
        try {
            appearance::toInteger("");
            QFAIL("no error");
        } catch (const std::exception& e) {
            QCOMPARE(QString::fromUtf8(e.what()),
                     QStringLiteral("'' is not a valid integer value"));
        }
    }

    void lines_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QList<QByteArray>>("lines");
        using L = QList<QByteArray>;
        QTest::newRow("empty") << QByteArray() << L{};
        QTest::newRow("one line without end") << QByteArray("7") << L{"7"};
        QTest::newRow("CR LF") << QByteArray("1\r\n2\r\n") << L{"1", "2"};
        QTest::newRow("LF") << QByteArray("1\n2\n") << L{"1", "2"};
        QTest::newRow("lone CR") << QByteArray("1\r2\r") << L{"1", "2"};
        QTest::newRow("mixed, last without end")
            << QByteArray("1\r\n2\n3\r4") << L{"1", "2", "3", "4"};
        QTest::newRow("empty lines are entries") << QByteArray("\r\n\r\n") << L{"", ""};
        QTest::newRow("LF CR is two ends") << QByteArray("1\n\r2") << L{"1", "", "2"};
        QTest::newRow("NUL ends the text") << QByteArray("1\r\n2\0003\r\n", 8) << L{"1", "2"};
        QTest::newRow("NUL first") << QByteArray("\0001\r\n", 4) << L{};
        QTest::newRow("spaces kept") << QByteArray("  255\r\n255 \r\n") << L{"  255", "255 "};
        QTest::newRow("GB2312 bytes kept")
            << QByteArray("\xc4\xe3\xba\xc3\r\n") << L{QByteArray("\xc4\xe3\xba\xc3")};
    }

    void lines() {
        QFETCH(QByteArray, content);
        QFETCH(QList<QByteArray>, lines);
        QCOMPARE(appearance::splitLines(content), lines);
    }

    void everyLineEndsInCrLf() {
        QCOMPARE(appearance::joinLines({"0", "", "x"}), QByteArray("0\r\n\r\nx\r\n"));
        QCOMPARE(appearance::joinLines({}), QByteArray());
    }

    void rgbColours_data() {
        QTest::addColumn<qint32>("value");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("black") << 0 << QColor(0, 0, 0);
        QTest::newRow("red is the lowest byte") << 255 << QColor(255, 0, 0);
        QTest::newRow("green") << 65280 << QColor(0, 255, 0);
        QTest::newRow("blue is the third byte") << 16711680 << QColor(0, 0, 255);
        QTest::newRow("white") << 16777215 << QColor(255, 255, 255);
        QTest::newRow("mixed") << 0x123456 << QColor(0x56, 0x34, 0x12);
    }

    void rgbColours() {
        QFETCH(qint32, value);
        QFETCH(QColor, colour);
        QCOMPARE(appearance::colourFromValue(value), colour);
        QCOMPARE(appearance::valueFromColour(colour), value);
    }

    void systemColoursFollowThePalette() {
        const QPalette palette = QGuiApplication::palette();
        QCOMPARE(appearance::colourFromValue(-2147483643), palette.color(QPalette::Base));
        QCOMPARE(appearance::colourFromValue(-2147483640), palette.color(QPalette::Text));
        // Only the lowest byte names the colour.
        QCOMPARE(appearance::colourFromValue(-251), palette.color(QPalette::Base));
        QCOMPARE(appearance::colourFromValue(qint32(0x800000FF)), QColor(0, 0, 0));
    }
};

QTEST_MAIN(TestColourValue)
#include "tst_colourvalue.moc"
