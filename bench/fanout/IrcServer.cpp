#include "IrcServer.h"

#include "RawParticipant.h"

#include <QFile>
#include <QProcess>
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char* const kNgircd = "/usr/sbin/ngircd";

// No lookups, no penalties and relaxed flood control for everyone (user mode F),
// so that it relays as fast as it can, as our host and the floor do; any number
// of connections from one address.
QByteArray configuration(quint16 port, const QString& dir) {
    return "[Global]\n"
           "Name = bench.pinwa\n"
           "Info = fanout benchmark\n"
           "AdminInfo1 = bench\n"
           "AdminInfo2 = bench\n"
           "AdminEMail = bench@localhost\n"
           "Listen = 127.0.0.1\n"
           "Ports = " +
           QByteArray::number(port) +
           "\n"
           "MotdPhrase = bench\n"
           "PidFile = " +
           dir.toLocal8Bit() +
           "/ngircd.pid\n"
           "[Limits]\n"
           "MaxConnections = 0\n"
           "MaxConnectionsIP = 0\n"
           "MaxJoins = 0\n"
           "MaxPenaltyTime = 0\n"
           "PingTimeout = 600\n"
           "PongTimeout = 600\n"
           "[Options]\n"
           "DNS = no\n"
           "Ident = no\n"
           "PAM = no\n"
           "ConnectIPv6 = no\n"
           "DefaultUserModes = F\n";
}

bool accepts(quint16 port) {
    RawParticipant probe;
    return probe.connectTo(port);
}

} // namespace

IrcServer::~IrcServer() {
    stop();
}

bool IrcServer::available() {
    return ::access(kNgircd, X_OK) == 0;
}

bool IrcServer::start(quint16 port, int core) {
    const QString conf = dir_.filePath(QStringLiteral("ngircd.conf"));
    QFile file(conf);
    if (!file.open(QIODevice::WriteOnly) || file.write(configuration(port, dir_.path())) < 0)
        return false;
    file.close();
    const QByteArray confPath = conf.toLocal8Bit();
    const QByteArray logPath = dir_.filePath(QStringLiteral("ngircd.log")).toLocal8Bit();
    const QByteArray cpu = QByteArray::number(core);
    pid_ = ::fork();
    if (pid_ == 0) {
        const int log = ::open(logPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(log, 1);
        ::dup2(log, 2);
        // taskset pins it, then runs it in the foreground (-n) with our configuration.
        if (core >= 0)
            ::execlp("taskset", "taskset", "-c", cpu.constData(), kNgircd, "-n", "-f",
                     confPath.constData(), static_cast<char*>(nullptr));
        else
            ::execl(kNgircd, kNgircd, "-n", "-f", confPath.constData(),
                    static_cast<char*>(nullptr));
        ::_exit(127);
    }
    for (int i = 0; i < 500; ++i) {
        if (accepts(port))
            return true;
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return false;
        }
        sleepUs(10000);
    }
    stop();
    return false;
}

void IrcServer::stop() {
    if (pid_ <= 0)
        return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
}

std::int64_t IrcServer::cpuNs() const {
    // The first field is the time on a CPU in nanoseconds (ngIRCd has one thread).
    QFile file(QStringLiteral("/proc/%1/schedstat").arg(pid_));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return file.readAll().split(' ').value(0).toLongLong();
}

QByteArray IrcServer::version() const {
    QProcess p;
    p.start(QString::fromLatin1(kNgircd), {QStringLiteral("--version")});
    p.waitForFinished(5000);
    return p.readAllStandardOutput().split('\n').value(0).trimmed();
}
