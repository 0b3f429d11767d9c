#pragma once
// Window positions are remembered in twips (1440 per inch) so that a saved
// position means the same place on screens of different pixel density.

#include <QGuiApplication>
#include <QScreen>
#include <QSize>
#include <cmath>
#include <optional>

namespace velda {

constexpr double TwipsPerInch = 1440.0;

inline int pixelsToTwips(int pixels, double dpi) {
    if (!(dpi > 0.0))
        return pixels * 15; // 96 dpi
    return static_cast<int>(std::lround(pixels * TwipsPerInch / dpi));
}

inline int twipsToPixels(int twips, double dpi) {
    if (!(dpi > 0.0))
        return static_cast<int>(std::lround(twips / 15.0));
    return static_cast<int>(std::lround(twips * dpi / TwipsPerInch));
}

// Logical DPI of the primary screen, horizontal and vertical; 96 when there is
// no screen (for instance before the application object exists).
inline double screenDpiX() {
    const QScreen* s = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                           ? QGuiApplication::primaryScreen()
                           : nullptr;
    return s ? s->logicalDotsPerInchX() : 96.0;
}
inline double screenDpiY() {
    const QScreen* s = qobject_cast<QGuiApplication*>(QCoreApplication::instance())
                           ? QGuiApplication::primaryScreen()
                           : nullptr;
    return s ? s->logicalDotsPerInchY() : 96.0;
}

// Size of the primary screen in twips (width, height); nothing when there is
// no screen.
inline std::optional<QSize> primaryScreenTwips() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return std::nullopt;
    const QScreen* s = QGuiApplication::primaryScreen();
    if (!s)
        return std::nullopt;
    const QSize px = s->size();
    return QSize(pixelsToTwips(px.width(), s->logicalDotsPerInchX()),
                 pixelsToTwips(px.height(), s->logicalDotsPerInchY()));
}

} // namespace velda
