#include "app/LocalAddress.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

namespace {

QString dotted(const sockaddr* address) {
    char text[INET_ADDRSTRLEN] = {};
    const auto* in = reinterpret_cast<const sockaddr_in*>(address);
    if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text) == nullptr)
        return {};
    return QString::fromLatin1(text);
}

QString resolveHostName() {
    char name[128] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return {};
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &result) != 0 || result == nullptr)
        return {};
    const QString address = dotted(result->ai_addr);
    freeaddrinfo(result);
    return address;
}

QString firstInterfaceAddress() {
    const QStringList all = interfaceAddresses();
    return all.isEmpty() ? QString() : all.first();
}

} // namespace

QStringList interfaceAddresses() {
    QStringList addresses;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return addresses;
    for (ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
        if (i->ifa_addr == nullptr || i->ifa_addr->sa_family != AF_INET)
            continue;
        const QString candidate = dotted(i->ifa_addr);
        if (!candidate.isEmpty() && !candidate.startsWith(QLatin1String("127.")) &&
            !addresses.contains(candidate))
            addresses.append(candidate);
    }
    freeifaddrs(list);
    return addresses;
}

QString chooseLocalAddress(const QString& resolved, const QString& firstInterface) {
    if (!resolved.isEmpty() && !resolved.startsWith(QLatin1String("127.")))
        return resolved;
    if (!firstInterface.isEmpty())
        return firstInterface;
    return QStringLiteral("127.0.0.1");
}

QString localAddress() {
    return chooseLocalAddress(resolveHostName(), firstInterfaceAddress());
}
