#pragma once

#include "Driver.h"

#include <functional>

// The two timed phases every fanout-style benchmark runs from its participants'
// process. Participant 0 talks; every other participant must get each line once.
// Lines are told apart by marks in their text ("T#k#", "U#j#"), so a participant
// may receive them in any framing: the room's raw bytes or a page's JSON frames.
namespace driver {

struct Traffic {
    // What participant 0 writes for one line of text.
    std::function<QByteArray(const QByteArray& text)> lineBytes;
    // Called after a participant was drained (e.g. to answer a ping).
    std::function<void(RawParticipant&)> afterDrain;
};

// Counts needle in the stream and drops what was counted, keeping the tail that
// could be the start of the next one.
int takeCount(QByteArray& stream, QByteArrayView needle);

// One line at a time, spacingUs apart: reports BEGIN, END, LAT us..., CHECK lost duplicates.
void latencyPhase(Participants& all, ReadySet& set, const Traffic& t, int lines, int spacingUs);

// batches writes of batchLines lines, as fast as the slowest receiver keeps up
// (at most 8 writes ahead of it): reports TBEGIN, TEND, TPUT lines ns, TCHECK lost duplicates.
void throughputPhase(Participants& all, ReadySet& set, const Traffic& t, int batches,
                     int batchLines);

// batches writes of batchLines lines, each only once every receiver has the one before, so
// the server reads each write on its own whatever the two sides' pace: the CPU a line costs
// when the lines of one read leave together. Reports OBEGIN, OEND, OCHECK lost.
void oneReadPhase(Participants& all, ReadySet& set, const Traffic& t, int batches, int batchLines);

// Before any thread starts, so that all of a process's threads stay on that core.
void pinToCore(int core);

} // namespace driver
