#pragma once

#include <QIcon>
#include <QPalette>

// The pictures of the commands. They come from the desktop's icon theme by
// their freedesktop names; Breeze, which ./run and ./test install, stands
// behind any theme that lacks a name. A few commands have no standard name:
// their pictures are drawn here.
namespace CommandIcons {

// The icon theme that stands behind the desktop's theme, and its variant
// drawn for dark palettes (Breeze's one-colour icons are dark grey, which a
// dark window would swallow).
inline constexpr const char *FallbackTheme = "breeze";
inline constexpr const char *DarkFallbackTheme = "breeze-dark";

// Whether a palette draws light text on a dark window.
bool isDark(const QPalette &palette);
// Makes FallbackTheme (DarkFallbackTheme under a dark palette) Qt's fallback
// icon theme; called again when the palette changes, it follows it.
void useFallbackTheme();

// The picture of a command's icon name; a null icon when there is none.
QIcon icon(const char *name);

} // namespace CommandIcons
