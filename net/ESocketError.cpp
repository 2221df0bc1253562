#include "ESocketError.h"

#include <cerrno>
#include <clocale>
#include <cstring>
#include <locale.h>
#include <netdb.h>

namespace {
// The texts are English whatever the user's locale (Qt sets it from the environment), like
// the rest of the framework's error texts. Negative codes are the resolver's own.
std::string platformText(int code) {
    static const locale_t english = ::newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    if (code >= 0)
        return english ? ::strerror_l(code, english) : std::strerror(code);
    const locale_t previous = english ? ::uselocale(english) : locale_t(nullptr);
    std::string text = ::gai_strerror(code);
    if (previous)
        ::uselocale(previous);
    return text;
}
} // namespace

ESocketError ESocketError::platform(int code, const char* api) {
    return ESocketError("Windows socket error: " + platformText(code) + " (" +
                        std::to_string(code) + "), on API '" + api + "'");
}

ESocketError ESocketError::asynchronous(int code) {
    return ESocketError("Asynchronous socket error " + std::to_string(code));
}

int CheckSocketCall(int result, const char* api) {
    if (result == 0)
        return 0;
    const int code = errno;
    if (code == EWOULDBLOCK || code == EAGAIN)
        return code;
    throw ESocketError::platform(code, api);
}
