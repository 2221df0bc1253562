#pragma once

#include <stdexcept>
#include <string>

// Every error the socket layer raises; what() is the user-facing text in UTF-8.
class ESocketError : public std::runtime_error {
public:
    explicit ESocketError(const std::string& message) : std::runtime_error(message) {}

    // "Windows socket error: <text> (<code>), on API '<api>'" with the platform's text for code.
    static ESocketError platform(int code, const char* api);
    // "Asynchronous socket error <code>".
    static ESocketError asynchronous(int code);
};

// Message texts of the layer's own refusals.
namespace SocketMessages {
inline constexpr const char* NoAddress = "No address specified";
inline constexpr const char* CantListenOpen = "Can't listen on an open socket";
inline constexpr const char* CantCreate = "Can't create new socket";
inline constexpr const char* AlreadyOpen = "Socket already open";
inline constexpr const char* CantChangeActive = "Can't change value while socket is active";
} // namespace SocketMessages

// Platform call check: 0 passes, would-block passes (returned), anything else raises.
int CheckSocketCall(int result, const char* api);
