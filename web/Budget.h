#pragma once

#include <QtGlobal>
#include <algorithm>

// A token bucket: `burst` at once, then one every `everyMs`. Time is passed in, so
// that one clock serves every bucket and tests need not wait.
class Budget {
public:
    Budget(int burst = 1, int everyMs = 1000) : burst_(burst), everyMs_(everyMs), left_(burst) {}

    // True, and one spent, when the bucket has one at `nowMs`.
    bool take(qint64 nowMs) {
        refill(nowMs);
        if (left_ == 0)
            return false;
        --left_;
        return true;
    }
    // Full again: nothing is owed, so the bucket can be forgotten.
    bool isFull(qint64 nowMs) {
        refill(nowMs);
        return left_ == burst_;
    }

private:
    void refill(qint64 nowMs) {
        if (left_ == burst_ || everyMs_ <= 0) {
            since_ = nowMs;
            return;
        }
        const qint64 earned = (nowMs - since_) / everyMs_;
        if (earned <= 0)
            return;
        left_ = static_cast<int>(std::min<qint64>(burst_, left_ + earned));
        since_ += earned * everyMs_;
    }

    int burst_;
    int everyMs_;
    int left_;
    qint64 since_ = 0;
};
