#pragma once

#include <QString>
#include <cstdint>
#include <mutex>
#include <vector>

// What the honest side saw, stamped with the time it happened, so that each
// attack's figures are the samples taken while it ran.
struct Samples {
    struct Proc {
        std::int64_t at;
        long rssKiB;
        int fds;
    };
    struct Load {
        std::int64_t at;
        int status; // 0: no answer
        double ms;
    };
    struct Seat {
        std::int64_t at;
        int upgrade; // HTTP status of the upgrade, 0: no answer
        bool seated;
        double ms;
    };
    struct Line {
        std::int64_t at;
        double ms; // < 0: never reached the page
    };
    std::mutex lock;
    std::vector<Proc> proc;
    std::vector<Load> loads;
    std::vector<Seat> seats;
    std::vector<Line> lines;
    int legacyLines = 0; // lines the legacy peer got, of those the desktop client sent
};

// The host process's figures from /proc/<pid>.
long rssKiBOf(int pid);
int fdsOf(int pid);

// One attack's window and what the honest side saw in it.
struct Window {
    QString name;
    std::int64_t from = 0, to = 0;
};

struct Seen {
    int loads = 0, loads200 = 0;
    double loadP50 = 0, loadP99 = 0, loadMax = 0;
    int seatsTried = 0, seated = 0, refused503 = 0;
    int linesSent = 0, linesGot = 0;
    double lineP50 = 0, lineP99 = 0, lineMax = 0;
    // -1 when no sample of the host fell in the window.
    long rssFirst = -1, rssPeak = -1, rssLast = -1;
    int fdsFirst = -1, fdsPeak = -1, fdsLast = -1;
};
Seen seenIn(Samples& s, const Window& w);
