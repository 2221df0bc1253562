#include "protocol/FileOffer.h"
#include "protocol/Gb.h"
#include "protocol/LineKind.h"
#include "protocol/Wire.h"

#include <QtTest>

using namespace wire;

class TestWire : public QObject {
    Q_OBJECT

private slots:
    void gb2312IsAvailable() { QVERIFY2(gb::available(), "this Qt build cannot convert GB2312"); }

    // The converters are kept between lines: half a character at the end of one
    // line, or an unencodable character, must not reach the next.
    void eachConversionStartsClean() {
        const QByteArray ming = gb::fromTyped(QStringLiteral("小明"));
        (void)gb::toDisplay(ming.left(1));
        QCOMPARE(gb::toDisplay(ming), QStringLiteral("小明"));
        QVERIFY(!gb::canHold(QStringLiteral("😀")));
        (void)gb::fromTyped(QStringLiteral("😀"));
        QCOMPARE(gb::fromTyped(QStringLiteral("小明")), ming);
        QVERIFY(gb::canHold(QStringLiteral("小明")));
    }

    void fixedTexts_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("host name") << kHostName << QStringLiteral("服务器");
        QTest::newRow("talk to") << kTalkTo << QStringLiteral(" 对 ");
        QTest::newRow("says") << kSays << QStringLiteral(" 说: ");
        QTest::newRow("self talk") << kSelfTalk << QStringLiteral(" 自言自语地说道: ");
        QTest::newRow("leaves") << kLeaves << QStringLiteral(" 离开聊天室!");
        QTest::newRow("welcome") << kWelcome << QStringLiteral("欢迎来到:");
        QTest::newRow("room full") << kRoomFull << QStringLiteral("对不起！\n聊天室人满!");
        QTest::newRow("in use") << kNicknameInUse << QStringLiteral("您的昵称已经有人在使用了!");
        QTest::newRow("control") << kNicknameControl << QStringLiteral("昵称不能含有控制字符!");
    }
    void fixedTexts() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(bytes, gb::fromTyped(text));
        QCOMPARE(gb::toDisplay(bytes), text);
    }

    void builders_data() {
        QTest::addColumn<QByteArray>("built");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray bob = gb::fromTyped(QStringLiteral("小明"));
        QTest::newRow("join request") << joinRequest() << QByteArray("&U");
        QTest::newRow("join reply") << joinReply(bob) << "&U" + bob;
        QTest::newRow("room full")
            << notice(kRoomFull)
            << QByteArray("&G\xb6\xd4\xb2\xbb\xc6\xf0\xa3\xa1\n\xc1\xc4\xcc\xec"
                          "\xca\xd2\xc8\xcb\xc2\xfa!");
        QTest::newRow("welcome") << line(welcome("room"))
                                 << QByteArray("&S\xbb\xb6\xd3\xad\xc0\xb4\xb5\xbd:room");
        QTest::newRow("roster") << roster(rosterText({"a", "b", "host"}))
                                << QByteArray("&Ya\nb\nhost\n");
        QTest::newRow("whisper request") << whisperRequest("joe") << QByteArray("&Wjoe");
        QTest::newRow("whisper answer host")
            << whisperAnswer(kHostSeat, kHostName) << QByteArray("&Wser\xb7\xfe\xce\xf1\xc6\xf7");
        QTest::newRow("whisper answer seat")
            << whisperAnswer(seatField(7), "joe") << QByteArray("&W007joe");
        QTest::newRow("whisper") << whisper(seatField(3), whisperLine("a", "hi"))
                                 << QByteArray("&Q003a \xcb\xb5: hi");
        QTest::newRow("nickname request") << nicknameRequest("042") << QByteArray("&P042");
        QTest::newRow("nickname answer") << nicknameAnswer("042", "joe") << QByteArray("&P042joe");
        QTest::newRow("empty nickname answer") << nicknameAnswer("042", "") << QByteArray("&P042");
        QTest::newRow("talk") << talkLine("a", "b", "hi")
                              << QByteArray("a \xb6\xd4 b \xcb\xb5: hi\r");
        QTest::newRow("self talk")
            << selfTalkLine("a", "hi")
            << QByteArray("a \xd7\xd4\xd1\xd4\xd7\xd4\xd3\xef\xb5\xd8\xcb\xb5\xb5\xc0: hi\r");
        QTest::newRow("leave") << leaveNotice("a")
                               << QByteArray("a \xc0\xeb\xbf\xaa\xc1\xc4\xcc\xec\xca\xd2!\r");
    }
    void builders() {
        QFETCH(QByteArray, built);
        QFETCH(QByteArray, expected);
        QCOMPARE(built, expected);
    }

    void parse_data() {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QByteArray>("seat");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("join request")
            << QByteArray("&U") << QByteArray("&U") << QByteArray() << QByteArray() << QByteArray();
        QTest::newRow("one byte") << QByteArray("&") << QByteArray("&") << QByteArray()
                                  << QByteArray() << QByteArray();
        QTest::newRow("short addressed") << QByteArray("&Q00") << QByteArray("&Q")
                                         << QByteArray("00") << QByteArray("00") << QByteArray();
        QTest::newRow("whisper") << QByteArray("&Q007a says") << QByteArray("&Q")
                                 << QByteArray("007a says") << QByteArray("007")
                                 << QByteArray("a says");
        QTest::newRow("host answer")
            << QByteArray("&Wser\xb7\xfe\xce\xf1\xc6\xf7") << QByteArray("&W")
            << QByteArray("ser\xb7\xfe\xce\xf1\xc6\xf7") << QByteArray("ser") << kHostName;
        QTest::newRow("talk keeps CR") << QByteArray("&Sa\r") << QByteArray("&S")
                                       << QByteArray("a\r") << QByteArray("a\r") << QByteArray();
    }
    void parse() {
        QFETCH(QByteArray, message);
        const Message m = wire::parse(message);
        QTEST(m.code, "code");
        QTEST(m.payload, "payload");
        QTEST(m.seatField(), "seat");
        QTEST(m.text(), "text");
    }

    void seatFields_data() {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<int>("number"); // -1: rejected
        QTest::newRow("000") << QByteArray("000") << 0;
        QTest::newRow("007") << QByteArray("007") << 7;
        QTest::newRow("100") << QByteArray("100") << 100;
        QTest::newRow("101") << QByteArray("101") << -1;
        QTest::newRow("999") << QByteArray("999") << -1;
        QTest::newRow("ser") << QByteArray("ser") << -1;
        QTest::newRow("short") << QByteArray("07") << -1;
        QTest::newRow("long") << QByteArray("0070") << -1;
        QTest::newRow("sign") << QByteArray("-01") << -1;
        QTest::newRow("space") << QByteArray(" 07") << -1;
        QTest::newRow("empty") << QByteArray() << -1;
    }
    void seatFields() {
        QFETCH(QByteArray, field);
        QFETCH(int, number);
        const std::optional<int> seat = seatNumber(field);
        QCOMPARE(seat.value_or(-1), number);
        if (seat)
            QCOMPARE(seatField(*seat), field);
    }

    void rosterLinesDropOnlyTheFinalEmptyEntry() {
        QCOMPARE(rosterLines("a\nb\n"), (QList<QByteArray>{"a", "b"}));
        QCOMPARE(rosterLines("a\n\nb\n"), (QList<QByteArray>{"a", "", "b"}));
        QCOMPARE(rosterLines("a\nb"), (QList<QByteArray>{"a", "b"}));
        QCOMPARE(rosterLines(""), QList<QByteArray>{});
    }

    void talkLineCheck_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("to another") << talkLine("bob", "amy", "hi") << true;
        QTest::newRow("to oneself") << selfTalkLine("bob", "hi") << true;
        QTest::newRow("empty text") << talkLine("bob", "amy", "") << true;
        QTest::newRow("other sender") << talkLine("amy", "bob", "hi") << false;
        QTest::newRow("sender prefix only") << talkLine("bobby", "amy", "hi") << false;
        QTest::newRow("no CR") << talkLine("bob", "amy", "hi").chopped(1) << false;
        QTest::newRow("inner CR") << talkLine("bob", "amy", "a\rb") << false;
        QTest::newRow("inner LF") << talkLine("bob", "amy", "a\nb") << false;
        QTest::newRow("bare nickname") << QByteArray("bob\r") << false;
    }
    void talkLineCheck() {
        QFETCH(QByteArray, line);
        QTEST(isTalkLineFrom(line, "bob"), "accepted");
    }

    void lineKinds_data() {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("kind");
        const auto k = [](LineKind kind) { return static_cast<int>(kind); };
        QTest::newRow("own") << talkLine("bob", "amy", "hi") << k(LineKind::Own);
        QTest::newRow("own to oneself") << selfTalkLine("bob", "hi") << k(LineKind::Own);
        QTest::newRow("to me") << talkLine("amy", "bob", "hi") << k(LineKind::ToMe);
        QTest::newRow("to a longer name") << talkLine("amy", "bobby", "hi") << k(LineKind::Other);
        QTest::newRow("from a longer name") << talkLine("bobby", "amy", "hi") << k(LineKind::Other);
        QTest::newRow("my name in the text")
            << talkLine("amy", "joe", kTalkTo + "bob" + kSays) << k(LineKind::Other);
        QTest::newRow("welcome") << welcome("room") << k(LineKind::Notice);
        QTest::newRow("leave") << leaveNotice("joe") << k(LineKind::Notice);
        QTest::newRow("leave text in talk")
            << talkLine("amy", "joe", kLeaves) << k(LineKind::Other);
    }
    void lineKinds() {
        QFETCH(QByteArray, line);
        QTEST(static_cast<int>(classifyLine(line, "bob")), "kind");
        QCOMPARE(talkSender(talkLine("a b", "c", "d")), QByteArray("a b"));
    }

    void whisperLineCheck() {
        QVERIFY(isWhisperLineFrom(whisperLine("bob", "psst"), "bob"));
        QVERIFY(!isWhisperLineFrom(whisperLine("amy", "psst"), "bob"));
        QVERIFY(!isWhisperLineFrom("bob psst", "bob"));
    }

    void safeNicknames() {
        QVERIFY(isSafeNickname(gb::fromTyped(QStringLiteral("小明"))));
        QVERIFY(isSafeNickname("&Sjoe")); // may begin with a code; rosters split only at LF
        QVERIFY(!isSafeNickname("a\nb"));
        QVERIFY(!isSafeNickname("a\rb"));
        QVERIFY(!isSafeNickname(QByteArray("a\0b", 3)));
        QVERIFY(!isSafeNickname("tab\there"));
    }

    // An offer line showed the name before the address and saved the one in it.
    void offerLineShowsTheNameItSaves_data() {
        const QString host = QStringLiteral("http://192.168.1.5:8889");
        const QString token = QStringLiteral("0123456789abcdef0123456789abcdef");
        const auto typed = [&](const QString& shown, const QString& inAddress) {
            return QStringLiteral("[文件] %1 (5 B) %2/f/%3/%4").arg(shown, host, token, inAddress);
        };
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("saved"); // empty: the line is only text
        for (const QString& name : {QStringLiteral("报告.pdf"), QStringLiteral("笑😀 a.txt"),
                                    QStringLiteral("100% (1) #2?.txt")})
            QTest::addRow("made: %s", qPrintable(name))
                << fileoffer::text(name, 2200000, host, token) << name;
        QTest::newRow("made: picture")
            << fileoffer::text("a b.png", 5, host, token, true) << QStringLiteral("a b.png");
        QTest::newRow("typed, names agree") << typed("a.txt", "a.txt") << QStringLiteral("a.txt");
        QTest::newRow("typed, shows another name")
            << typed("报告.pdf", "报告.pdf.exe") << QString();
        QTest::newRow("typed, hides an escape") << typed("ab.txt", "a%2Eb.txt") << QString();
    }

    void offerLineShowsTheNameItSaves() {
        QFETCH(QString, line);
        QFETCH(QString, saved);
        const auto offer = fileoffer::find(line);
        QCOMPARE(offer.has_value(), !saved.isEmpty());
        if (offer) {
            QCOMPARE(offer->name, fileoffer::shownName(saved));
            QCOMPARE(QUrl::fromPercentEncoding(offer->urlName.toUtf8()), saved);
            QCOMPARE(offer->picture, line.startsWith(QStringLiteral("[图片] ")));
        }
    }

    void split_data() {
        QTest::addColumn<QByteArray>("read");
        QTest::addColumn<QByteArrayView>("codes");
        QTest::addColumn<QList<QByteArray>>("messages");
        const QByteArray leave = "&S" + leaveNotice("bob");
        QTest::newRow("single") << QByteArray("&Ya\nb\n") << kClientCodes
                                << QList<QByteArray>{"&Ya\nb\n"};
        QTest::newRow("leave then roster")
            << leave + "&Ya\nhost\n"
            << kClientCodes << QList<QByteArray>{leave, "&Ya\nhost\n"};
        QTest::newRow("three talk lines") << QByteArray("&Sa\r&Sb\r&Sc\r") << kClientCodes
                                          << QList<QByteArray>{"&Sa\r", "&Sb\r", "&Sc\r"};
        QTest::newRow("never at LF") << QByteArray("&Y&Sjoe\nhost\n") << kClientCodes
                                     << QList<QByteArray>{"&Y&Sjoe\nhost\n"};
        QTest::newRow("unknown letter")
            << QByteArray("&Sa\r&Zb") << kClientCodes << QList<QByteArray>{"&Sa\r&Zb"};
        QTest::newRow("host lacks Y")
            << QByteArray("&Sa\r&Yb") << kHostCodes << QList<QByteArray>{"&Sa\r&Yb"};
        QTest::newRow("host talk then whisper")
            << QByteArray("&Sa\r&Q003x") << kHostCodes << QList<QByteArray>{"&Sa\r", "&Q003x"};
        QTest::newRow("CR at end")
            << QByteArray("&Sa\r&") << kClientCodes << QList<QByteArray>{"&Sa\r&"};
        QTest::newRow("empty") << QByteArray() << kClientCodes << QList<QByteArray>{""};
    }
    void split() {
        QFETCH(QByteArray, read);
        QFETCH(QByteArrayView, codes);
        QTEST(wire::split(read, codes), "messages");
    }
};

QTEST_APPLESS_MAIN(TestWire)
#include "tst_wire.moc"
