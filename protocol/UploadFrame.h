#pragma once

#include <QtGlobal>

// A piece of a file on its way to the host's web surface: one binary WebSocket message
// holding the upload's token (32 hex digits), the piece's offset (8 bytes, big-endian),
// then the bytes. Pages, desktop copies and the host all read this one layout.
namespace uploadframe {

constexpr qint64 kMaxMessage = 64 * 1024; // a whole message, JSON requests too
constexpr int kHeader = 40;

} // namespace uploadframe
