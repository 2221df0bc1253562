#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QVariantList>

// The few names of Avahi's D-Bus interface that announcing and browsing use.
namespace avahi {

inline const QString kService = QStringLiteral("org.freedesktop.Avahi");
inline const QString kServer = QStringLiteral("org.freedesktop.Avahi.Server");
inline const QString kServer2 = QStringLiteral("org.freedesktop.Avahi.Server2");
inline const QString kEntryGroup = QStringLiteral("org.freedesktop.Avahi.EntryGroup");
inline const QString kServiceBrowser = QStringLiteral("org.freedesktop.Avahi.ServiceBrowser");
inline const QString kServiceResolver = QStringLiteral("org.freedesktop.Avahi.ServiceResolver");

inline const QString kRoomType = QStringLiteral("_pinwa._tcp");
inline const QString kWebType = QStringLiteral("_http._tcp");

constexpr int kAnyInterface = -1;
constexpr int kAnyProtocol = -1;
constexpr int kIPv4 = 0; // the room listens on IPv4 only

enum GroupState { Uncommitted, Registering, Established, Collision, Failure };

// A method call on an Avahi object; its answer is always awaited asynchronously.
QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                  const QVariantList& arguments = {});

// Sends without caring for the answer: freeing objects, starting browsers.
void post(QDBusConnection& bus, const QString& path, const QString& interface,
          const QString& method, const QVariantList& arguments = {});

} // namespace avahi
