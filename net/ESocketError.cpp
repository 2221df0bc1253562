#include "ESocketError.h"

#include <cerrno>
#include <clocale>
#include <cstring>
#include <locale.h>

namespace {
// The texts are English whatever the user's locale (Qt sets it from the environment), like
// the rest of the framework's error texts.
const char* platformText(int code) {
    static const locale_t english = ::newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    return english ? ::strerror_l(code, english) : std::strerror(code);
}
} // namespace

ESocketError ESocketError::platform(int code, const char* api) {
    return ESocketError("Windows socket error: " + std::string(platformText(code)) + " (" +
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
