#include "appearance/ColourValue.h"

#include "protocol/Errors.h"
#include "protocol/Gb.h"

#include <QGuiApplication>
#include <QPalette>
#include <array>

namespace appearance {

namespace {

int digitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

struct SystemRole {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// Indexes follow the Windows COLOR_* constants; each takes the palette colour that
// plays the same part on this desktop.
constexpr std::array<SystemRole, 31> systemRoles{{
    {QPalette::Active, QPalette::Button},          // 0 scroll bar
    {QPalette::Active, QPalette::Dark},            // 1 desktop
    {QPalette::Active, QPalette::Highlight},       // 2 active caption
    {QPalette::Inactive, QPalette::Mid},           // 3 inactive caption
    {QPalette::Active, QPalette::Window},          // 4 menu
    {QPalette::Active, QPalette::Base},            // 5 window background
    {QPalette::Active, QPalette::Shadow},          // 6 window frame
    {QPalette::Active, QPalette::WindowText},      // 7 menu text
    {QPalette::Active, QPalette::Text},            // 8 window text
    {QPalette::Active, QPalette::HighlightedText}, // 9 caption text
    {QPalette::Active, QPalette::Window},          // 10 active border
    {QPalette::Inactive, QPalette::Window},        // 11 inactive border
    {QPalette::Active, QPalette::Dark},            // 12 application workspace
    {QPalette::Active, QPalette::Highlight},       // 13 highlight
    {QPalette::Active, QPalette::HighlightedText}, // 14 highlighted text
    {QPalette::Active, QPalette::Button},          // 15 button face
    {QPalette::Active, QPalette::Dark},            // 16 button shadow
    {QPalette::Disabled, QPalette::Text},          // 17 grey text
    {QPalette::Active, QPalette::ButtonText},      // 18 button text
    {QPalette::Inactive, QPalette::WindowText},    // 19 inactive caption text
    {QPalette::Active, QPalette::Light},           // 20 button highlight
    {QPalette::Active, QPalette::Shadow},          // 21 3D dark shadow
    {QPalette::Active, QPalette::Midlight},        // 22 3D light
    {QPalette::Active, QPalette::ToolTipText},     // 23 tooltip text
    {QPalette::Active, QPalette::ToolTipBase},     // 24 tooltip background
    {QPalette::Active, QPalette::Window},          // 25 unused on Windows too
    {QPalette::Active, QPalette::Link},            // 26 hot-tracked item
    {QPalette::Active, QPalette::Highlight},       // 27 active caption gradient
    {QPalette::Inactive, QPalette::Mid},           // 28 inactive caption gradient
    {QPalette::Active, QPalette::Highlight},       // 29 menu highlight
    {QPalette::Active, QPalette::Window},          // 30 menu bar
}};

} // namespace

std::optional<qint32> parseInteger(const QByteArray& text) {
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == n)
        return std::nullopt;

    // Decimal must fit the signed range; hexadecimal may use all 32 bits, so that
    // "$80000005" names a system colour as it does on Windows.
    const quint64 limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    quint64 value = 0;
    for (; i < n; ++i) {
        const int digit = digitValue(text[i]);
        if (digit < 0 || digit >= base)
            return std::nullopt;
        value = value * base + digit;
        if (value > limit)
            return std::nullopt;
    }
    quint32 bits = static_cast<quint32>(value);
    if (negative)
        bits = 0u - bits;
    return static_cast<qint32>(bits);
}

qint32 toInteger(const QByteArray& text) {
    if (const auto value = parseInteger(text))
        return *value;
    throw errors::notAnInteger(gb::toDisplay(text));
}

QColor colourFromValue(qint32 value) {
    if (value < 0)
        return systemColour(value & 0xFF);
    // Values above 00FFFFFF are not ours to interpret; their low three bytes are
    // what the desktop would show.
    const quint32 rgb = static_cast<quint32>(value);
    return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

qint32 valueFromColour(const QColor& colour) {
    const QColor c = colour.toRgb();
    return c.red() | (c.green() << 8) | (c.blue() << 16);
}

QColor systemColour(int index) {
    if (index < 0 || index >= static_cast<int>(systemRoles.size()))
        return QColor(0, 0, 0); // Windows answers black for an unknown index
    const SystemRole& r = systemRoles[static_cast<std::size_t>(index)];
    return QGuiApplication::palette().color(r.group, r.role);
}

} // namespace appearance
