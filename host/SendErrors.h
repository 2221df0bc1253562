#pragma once

#include <QString>
#include <optional>

class RoomView;
class TCustomWinSocket;
class QByteArray;

// Sends on behalf of one handler and everything it re-enters. A failed send must
// not stop a loop over the seats, and must not unwind through the socket layer's
// own events; the first failure is reported once, after the outermost handler.
class SendErrors {
public:
    explicit SendErrors(RoomView& view) : view_(view) {}

    // Returns what SendString returned, or -1 when it raised.
    int send(TCustomWinSocket* connection, const QByteArray& message);

    // Marks a handler; the report goes out when the outermost one ends.
    class Scope {
    public:
        explicit Scope(SendErrors& errors);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        SendErrors& errors_;
    };

private:
    void flush();

    RoomView& view_;
    int depth_ = 0;
    std::optional<QString> first_;
};
