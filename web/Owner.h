#pragma once

#include <QHashFunctions>
#include <QtGlobal>

// Who an upload belongs to: a participant holding a seat, never a name the
// connection chose. Nobody is the owner of a connection that has not proved a seat.
struct Owner {
    enum class Kind : quint8 { Nobody, Page, Desktop, Host };
    Kind kind = Kind::Nobody;
    quint64 id = 0; // a page seat's or a room seat's serial; 0 for the host

    static Owner page(quint64 serial) { return {Kind::Page, serial}; }
    static Owner desktop(quint64 serial) { return {Kind::Desktop, serial}; }
    static Owner host() { return {Kind::Host, 0}; }
    bool isSomebody() const { return kind != Kind::Nobody; }
    friend bool operator==(const Owner& a, const Owner& b) {
        return a.kind == b.kind && a.id == b.id;
    }
    friend bool operator!=(const Owner& a, const Owner& b) { return !(a == b); }
};

inline size_t qHash(const Owner& owner, size_t seed = 0) {
    return qHashMulti(seed, static_cast<quint8>(owner.kind), owner.id);
}
