#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <memory>

// SHA-256 over a file as it arrives. OpenSSL's uses the CPU's SHA instructions
// and runs about ten times faster than Qt's portable one, which otherwise caps an
// upload; Qt's is the fallback where OpenSSL is not there at build time.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void addData(QByteArrayView bytes);
    // The raw digest; the object is spent after it.
    QByteArray result();

private:
    struct State;
    std::unique_ptr<State> state_;
};
