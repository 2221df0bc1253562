#include "discovery/Avahi.h"

#include <QDBusPendingCall>

namespace avahi {

QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                  const QVariantList& arguments) {
    QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
    message.setArguments(arguments);
    return message;
}

void post(QDBusConnection& bus, const QString& path, const QString& interface,
          const QString& method, const QVariantList& arguments) {
    QDBusMessage message = call(path, interface, method, arguments);
    message.setAutoStartService(false);
    bus.asyncCall(message);
}

} // namespace avahi
