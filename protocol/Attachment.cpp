#include "protocol/Attachment.h"

#include "protocol/Gb.h"

namespace attachment {

namespace {

bool hasMark(QByteArrayView line) {
    // The marks in GB2312: "[文件] " and "[图片] ".
    static const QByteArray file = gb::fromTyped(QStringLiteral("[文件] "));
    static const QByteArray picture = gb::fromTyped(QStringLiteral("[图片] "));
    return line.contains(file) || line.contains(picture);
}

} // namespace

std::optional<fileoffer::Offer> find(QByteArrayView line) {
    if (!hasMark(line))
        return std::nullopt;
    return fileoffer::find(gb::toDisplay(line.toByteArray()).trimmed());
}

Kind classify(QByteArrayView line) {
    const auto offer = find(line);
    return !offer ? Kind::None : offer->picture ? Kind::Picture : Kind::File;
}

} // namespace attachment
