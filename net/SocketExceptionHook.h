#pragma once

#include <exception>
#include <functional>

// Receives every exception that escapes the handling of a socket notification, a deferred free
// or a lookup completion; the application shows it to the user. Unset: a qWarning with the text.
void setSocketExceptionHook(std::function<void(const std::exception&)> hook);

// Hands an exception to the hook; used at the layer's entry points from Qt.
void reportSocketException(const std::exception& e);

// The same from another thread: the exception's text reaches the hook on the GUI thread.
void reportSocketExceptionLater(const std::exception& e);
