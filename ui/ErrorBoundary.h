#pragma once

#include <QString>
#include <exception>
#include <type_traits>
#include <utility>

class QWidget;

// Qt must never unwind an exception: every entry from Qt into our code goes
// through guarded(), which hands an escaping error to the default error handler.

// The error's text with a full stop added when it ends in a character that sorts
// after "." (so a text ending in ")" gets none).
QString errorText(const QString& text);

// The default error handler: a modal error box; the program then goes on.
void reportError(const std::exception& error);
void reportUnknownError();
// The same box for a text already made by errorText().
void showErrorBox(QWidget* parent, const QString& text);

template <typename F> auto guarded(F&& f) {
    return [f = std::forward<F>(f)](auto&&... args) mutable {
        try {
            // Signals may carry more arguments than the handler takes.
            if constexpr (std::is_invocable_v<F&, decltype(args)...>)
                f(std::forward<decltype(args)>(args)...);
            else
                f();
        } catch (const std::exception& e) {
            reportError(e);
        } catch (...) {
            reportUnknownError();
        }
    };
}

// Runs f now, inside the boundary.
template <typename F> void runGuarded(F&& f) {
    guarded(std::forward<F>(f))();
}
