#include "ESocketError.h"

#include <cerrno>
#include <cstring>

ESocketError ESocketError::platform(int code, const char* api) {
    return ESocketError("Windows socket error: " + std::string(std::strerror(code)) + " (" +
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
