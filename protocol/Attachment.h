#pragma once

#include "protocol/FileOffer.h"

#include <QByteArray>
#include <optional>

// What a chat line carries besides its words: nothing, an offered file or an offered
// picture. Decided once, when a log stores the line (as its LineKind is); whoever
// draws, reads aloud or fetches the offer asks the log, not the text again.
namespace attachment {

enum class Kind : quint8 {
    None,
    File,
    Picture,
};

// The line's bytes as they arrived; most lines hold no mark and cost a byte search.
Kind classify(QByteArrayView line);

// The offer in the line's bytes, or nothing.
std::optional<fileoffer::Offer> find(QByteArrayView line);

} // namespace attachment
