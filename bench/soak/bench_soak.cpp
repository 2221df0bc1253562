// Soak: one real host window against 100 participants in another process that
// join, talk, whisper and leave at random for a bounded time, loopback only.
// Meant for the AddressSanitizer build. The driver accounts for every line each
// participant was owed; the host checks its seats against the driver's view at
// each quiet checkpoint and compares descriptors and heap before and after.

#include "HostWindow.h"
#include "ProcessFigures.h"
#include "RawParticipant.h"
#include "ScriptedDialogs.h"
#include "SoakDriver.h"
#include "app/TForm1.h"
#include "protocol/RoomState.h"
#include "ui/ChatLog.h"
#include "ui/ChatPage.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMap>
#include <cstdio>
#include <set>

namespace {

std::set<QByteArray> hostSeats(const TForm1& form) {
    std::set<QByteArray> out;
    for (const RoomState::Seat& seat : form.room.seats)
        if (seat.connection != nullptr && !seat.nickname.isEmpty())
            out.insert(seat.nickname);
    return out;
}

std::set<QByteArray> hostUserList(const TForm1& form) {
    std::set<QByteArray> out;
    for (int i = 0; i < form.chat->list1->count(); ++i)
        out.insert(form.chat->list1->item(i)->data(Qt::UserRole).toByteArray());
    return out;
}

int connectionsHeld(const TForm1& form) {
    int n = 0;
    for (const RoomState::Seat& seat : form.room.seats)
        n += seat.connection != nullptr;
    return n;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && QByteArray(argv[1]) == "--driver") {
        QStringList args;
        for (int i = 2; i < argc; ++i)
            args.append(QString::fromLocal8Bit(argv[i]));
        return soakDriverMain(args);
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const ScratchHome home;
    QApplication app(argc, argv);
    ScriptedDialogs dialogs;

    double seconds = 600, rate = 30, checkpoint = 60;
    int participants = 100;
    unsigned seed = 7;
    const QStringList a = app.arguments();
    for (int i = 1; i + 1 < a.size(); ++i) {
        if (a[i] == QLatin1String("--seconds"))
            seconds = a[i + 1].toDouble();
        else if (a[i] == QLatin1String("--rate"))
            rate = a[i + 1].toDouble();
        else if (a[i] == QLatin1String("--participants"))
            participants = a[i + 1].toInt();
        else if (a[i] == QLatin1String("--seed"))
            seed = a[i + 1].toUInt();
        else if (a[i] == QLatin1String("--checkpoint"))
            checkpoint = a[i + 1].toDouble();
    }
    std::printf("soak: %d participants, %.0f s, %.0f random actions/s, seed %u, checkpoint every"
                " %.0f s\n",
                participants, seconds, rate, seed, checkpoint);
    std::fflush(stdout);

    const quint16 port = freeLoopbackPort();
    std::unique_ptr<TForm1> form = startHostWindow(port);
    runUntil([] { return false; }, 300);

    int fdsBefore = 0;
    long rssBefore = 0, rssPeak = 0;
    std::int64_t heapBefore = 0;
    int checks = 0, seatMismatches = 0, listMismatches = 0, countMismatches = 0;
    QByteArray totals;
    bool gone = false;
    // Taken before the driver exists, so its pipe is not counted on either side.
    fdsBefore = figures::openFds();
    heapBefore = figures::heapBytes();
    rssBefore = figures::rssKiB();
    const std::int64_t started = monotonicNs();
    const figures::Child child = figures::spawnSelf(
        {QStringLiteral("--driver"), QString::number(port), QString::number(seconds),
         QString::number(participants), QString::number(rate), QString::number(seed),
         QString::number(checkpoint)});
    runUntilChildEnds(child, [&](const QByteArray& line) {
        const QList<QByteArray> f = line.split(' ');
        if (f[0] == "ROSTER") {
            ++checks;
            const std::set<QByteArray> expected(f.begin() + 2, f.end());
            seatMismatches += hostSeats(*form) != expected;
            std::set<QByteArray> listed = expected;
            listed.insert(form->room.ownNickname);
            listMismatches += hostUserList(*form) != listed;
            countMismatches += form->chat->pep->text().toInt() != int(expected.size()) + 1;
            rssPeak = std::max(rssPeak, figures::rssKiB());
            std::printf("checkpoint %d at %.0f s: %d seated, host seats %s, user list %s,"
                        " online count %s; RSS %ld KiB\n",
                        checks, double(monotonicNs() - started) / 1e9, f[1].toInt(),
                        hostSeats(*form) == expected ? "match" : "DIFFER",
                        hostUserList(*form) == listed ? "match" : "DIFFER",
                        form->chat->pep->text().toLatin1().constData(), figures::rssKiB());
            std::fflush(stdout);
        } else if (f[0] == "CLIENTVIEW") {
            if (f.value(1).toInt() != 0)
                std::printf("  participants whose last roster differs: %s\n", f[1].constData());
        } else if (f[0] == "TOTALS") {
            totals = line.mid(7);
        } else if (f[0] == "GONE") {
            gone = true;
        }
    });
    const int driverExit = figures::waitChild(child);

    // Every departure handled and every connection object freed on a later turn.
    runUntil([&] { return connectionsHeld(*form) == 0; }, 60000);
    runUntil([] { return false; }, 2000);
    const int fdsAfter = figures::openFds();
    const std::int64_t heapAfter = figures::heapBytes();
    const long rssAfter = figures::rssKiB();
    const qsizetype logLines = form->chat->Memo1->lineCount();
    form->chat->Memo1->clearLines();
    runUntil([] { return false; }, 500);
    const std::int64_t heapCleared = figures::heapBytes();

    std::printf("driver: %s (exit %d)\n", totals.constData(), driverExit);
    std::printf("host checkpoints: %d; seats differing %d, user list differing %d, online count"
                " differing %d\n",
                checks, seatMismatches, listMismatches, countMismatches);
    std::printf("host after everyone left: %d connections held, %zu seated, occupancy %d\n",
                connectionsHeld(*form), hostSeats(*form).size(), form->room.occupancy);
    std::printf("descriptors: %d before, %d after\n", fdsBefore, fdsAfter);
    std::printf("heap in use: %.1f MiB before, %.1f MiB after (chat log of %lld lines kept),"
                " %.1f MiB after clearing the log\n",
                double(heapBefore) / 1048576, double(heapAfter) / 1048576, (long long)logLines,
                double(heapCleared) / 1048576);
    std::printf("RSS: %ld KiB before, peak at checkpoints %ld KiB, %ld KiB after\n", rssBefore,
                rssPeak, rssAfter);
    // Grouped by text: a busy host asks the same thing many times.
    QMap<QString, int> asked;
    for (const ScriptedDialogs::Asked& a : dialogs.asked)
        ++asked[a.kind + QStringLiteral(": ") + a.text];
    std::printf("dialogs the host showed: %lld\n", (long long)dialogs.asked.size());
    for (auto it = asked.cbegin(); it != asked.cend(); ++it)
        std::printf("  %5d x %s\n", it.value(), qPrintable(it.key()));
    const bool ok = gone && driverExit == 0 && seatMismatches == 0 && listMismatches == 0 &&
                    countMismatches == 0 && fdsAfter == fdsBefore && totals.contains(" lost=0 ") &&
                    totals.contains(" duplicates=0 ") && totals.contains(" roster_mismatches=0 ") &&
                    connectionsHeld(*form) == 0;
    std::printf("soak %s\n", ok ? "PASSED" : "FAILED");
    form.reset();
    return ok ? 0 : 1;
}
