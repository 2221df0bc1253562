#pragma once

#include <QByteArray>

// What the room state needs to know of a whisper window: the seat field of its peer.
class WhisperPeer {
public:
    virtual QByteArray peerSeatField() const = 0;

protected:
    ~WhisperPeer() = default;
};
