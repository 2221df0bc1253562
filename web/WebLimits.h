#pragma once

#include "protocol/UploadFrame.h"
#include "web/FileStore.h"

#include <QtGlobal>

// Every limit of the web surface, in one place, read wherever it accepts work.
// A connection without a seat costs the host little and nothing it starts outlives it.
struct WebLimits {
    // HTTP connections that have not finished asking: page loads and upgrades,
    // a pool of their own so that downloads never keep them out.
    int asking = 64;
    int askingPerAddress = 16;
    // How long a connection may take to ask, and a WebSocket without a seat may stay,
    // whatever it does meanwhile.
    int deadlineMs = 10000;
    // Downloads under way, and how long one may go without moving.
    int downloads = 64;
    int downloadsPerAddress = 8;
    int downloadStallMs = 30000;

    // WebSocket connections without a seat.
    int waitingPages = 16;
    int waitingPerAddress = 4;
    // One message or frame: JSON requests and upload pieces alike.
    static constexpr qint64 kMaxMessage = uploadframe::kMaxMessage;
    // What a page has not read yet; beyond it the page counts as gone (its seat waits).
    qint64 writeQueue = 1 << 20;
    // What Qt reads of a page's bytes at a time; the rest waits in the kernel.
    qint64 readChunk = 64 * 1024;
    // How long a close waits for the page's own before the connection goes anyway.
    int closeWaitMs = 1000;
    // Answers to requests that made no sense, before the connection is closed.
    int refusals = 16;
    // Joins from one address: a burst, then one every so often (each welcome pauses the host).
    int joinBurst = 4;
    int joinEveryMs = 1500;
    // How long a seat waits for its page to come back.
    int seatKeepMs = 60000;
    // What a seat keeps for its page to come back to: enough for a phone that slept
    // through a busy minute; beyond it the oldest go.
    static constexpr qsizetype kReplayBytes = 1 << 20;
    static constexpr qsizetype kReplayFrames = 4000;
    // The room's lines every seat's replay refers to, kept once for all seats. Twice a
    // seat's own: a seat held in a pause gets its lines in reads of their own, which are
    // kept again.
    static constexpr qsizetype kSharedLineBytes = 2 * kReplayBytes;
    static constexpr qsizetype kSharedLines = 2 * kReplayFrames;

    // Uploads: offers per seat as talk is metered, and how long one may go without bytes.
    int offerBurst = 8;
    int offerEveryMs = 500;
    int uploadIdleMs = 60000;
    // A page may have this much of an upload unacknowledged: the host says how much it
    // has every kAckBytes, so a page never gets far ahead of the disk.
    static constexpr qint64 kAckBytes = 1 << 20;
    static constexpr int kUploadHeader = uploadframe::kHeader;
    // Sizes, counts per seat and per room: the host's own settings.
    FileStore::Limits files;
};
