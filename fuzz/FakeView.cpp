#include "FakeView.h"

#include <cstdio>
#include <cstdlib>

void FakeView::appendLog(const QByteArray& line) {
    // Bounded: a long run must not grow the harness itself.
    if (log.size() > 64)
        log.removeFirst();
    log.append(line);
}

static FakeWhisper* known(const std::vector<std::unique_ptr<FakeWhisper>>& windows,
                          WhisperPeer* window) {
    for (const auto& w : windows) {
        if (w.get() == window)
            return w.get();
    }
    require(false, "a whisper call names a window the view never created");
    return nullptr;
}

WhisperPeer* FakeView::createWhisper(int slot) {
    require(slot >= 0 && slot < 101, "whisper slot outside the table");
    require(table != nullptr && (*table)[slot] == nullptr, "whisper created in a taken slot");
    windows.push_back(std::make_unique<FakeWhisper>());
    (*table)[slot] = windows.back().get();
    return windows.back().get();
}

void FakeView::setWhisperCaption(WhisperPeer* window, const QByteArray& peerName) {
    known(windows, window)->caption = peerName;
}

void FakeView::setWhisperPeer(WhisperPeer* window, const QByteArray& seatField) {
    known(windows, window)->peer = seatField;
}

void FakeView::appendWhisper(WhisperPeer* window, const QByteArray& line) {
    FakeWhisper* w = known(windows, window);
    if (w->lines.size() > 16)
        w->lines.removeFirst();
    w->lines.append(line);
}
