#include "FanoutDriver.h"

#include "Driver.h"
#include "IrcParticipant.h"
#include "Phases.h"
#include "protocol/Wire.h"

namespace {

enum class Mode { Host, Floor, Irc };

struct Plan {
    Mode mode = Mode::Host;
    quint16 port = 0;
    int n = 0;
    int lines = 0;
    int spacingUs = 0;
    int batches = 0;
    int batchLines = 0;
};

QByteArray nickname(int i) {
    return "p" + QByteArray::number(i).rightJustified(3, '0');
}

// What participant 0 writes for one line of text.
QByteArray lineBytes(Mode mode, const QByteArray& text) {
    if (mode == Mode::Irc)
        return irc::privmsg(text);
    return wire::line(wire::talkLine(nickname(0), "host", text));
}

bool joinAll(const Plan& plan, driver::Participants& all) {
    for (int i = 0; i < plan.n; ++i) {
        auto p = std::make_unique<RawParticipant>();
        bool ok = false;
        if (plan.mode == Mode::Host)
            ok = driver::join(*p, plan.port, nickname(i));
        else if (plan.mode == Mode::Irc)
            ok = irc::join(*p, plan.port, nickname(i));
        else
            ok = p->connectTo(plan.port);
        if (!ok) {
            driver::say("ERROR join " + QByteArray::number(i));
            return false;
        }
        all.push_back(std::move(p));
    }
    return true;
}

} // namespace

int fanoutDriverMain(const QStringList& args) {
    Plan plan;
    const QString mode = args.value(0);
    plan.mode = mode == QLatin1String("irc")     ? Mode::Irc
                : mode == QLatin1String("floor") ? Mode::Floor
                                                 : Mode::Host;
    plan.port = quint16(args.value(1).toUInt());
    plan.n = args.value(2).toInt();
    plan.lines = args.value(3).toInt();
    plan.spacingUs = args.value(4).toInt();
    plan.batches = args.value(5).toInt();
    plan.batchLines = args.value(6).toInt();
    driver::pinToCore(args.value(7).toInt());

    driver::Participants all;
    const std::int64_t joinStart = monotonicNs();
    if (!joinAll(plan, all))
        return 1;
    // The host's last roster follows its last welcome by its 100 ms pause.
    driver::waitQuiet(all, 400);
    driver::say("JOINED " + QByteArray::number((monotonicNs() - joinStart) / 1000000));
    for (auto& p : all)
        p->received.clear();
    driver::ReadySet set;
    for (int i = 0; i < plan.n; ++i)
        set.add(all[std::size_t(i)]->fd(), i);
    driver::Traffic traffic;
    traffic.lineBytes = [&](const QByteArray& text) { return lineBytes(plan.mode, text); };
    if (plan.mode == Mode::Irc)
        traffic.afterDrain = [](RawParticipant& p) {
            if (p.received.contains("PING "))
                irc::answerPings(p);
        };
    driver::latencyPhase(all, set, traffic, plan.lines, plan.spacingUs);
    driver::throughputPhase(all, set, traffic, plan.batches, plan.batchLines);
    return 0;
}
