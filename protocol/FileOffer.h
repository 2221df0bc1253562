#pragma once

#include <QString>
#include <optional>

// A file offered in the room, as a line anyone could have typed:
//   [文件] 报告.pdf (2.1 MB) http://192.168.1.5:8889/f/<token>/报告.pdf
// A picture is offered the same way under its own mark, "[图片]", so that a reader of
// an older copy still knows what the address holds. Every character of it is in
// GB2312, so an older copy shows it as it is and its user can open the address in a
// browser.
namespace fileoffer {

struct Offer {
    QString name;     // as shown in the line
    QString sizeText; // "2.1 MB"
    QString url;
    QString token;
    QString urlName; // the name as it stands in the address (may be percent-encoded)
    bool picture = false;
};

// "512 B", "3.4 KB", "2.1 MB", "1.0 GB".
QString sizeText(qint64 bytes);
// The name as the line shows it: characters GB2312 lacks become "_".
QString shownName(const QString& name);
// The name in the address: kept where GB2312 can carry it, percent-encoded UTF-8
// where it cannot, and where it would end the address (spaces, "%", "#", "?"...).
QString urlName(const QString& name);
// A name that names one file in a folder, whatever a sender or a typed line gave:
// its last path part, without controls and "..", never empty, at most 200 characters.
QString safeName(const QString& name);
QString text(const QString& name, qint64 size, const QString& base, const QString& token,
             bool picture = false);

// The offer at the end of a line's text, if it holds one and shows the name its
// address saves under.
std::optional<Offer> find(const QString& line);

} // namespace fileoffer
