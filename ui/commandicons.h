#pragma once

#include <QIcon>

// The pictures of the commands. They come from the desktop's icon theme by
// their freedesktop names; Breeze, which ./run and ./test install, stands
// behind any theme that lacks a name. A few commands have no standard name:
// their pictures are drawn here.
namespace CommandIcons {

// The icon theme that stands behind the desktop's theme.
inline constexpr const char *FallbackTheme = "breeze";

// Makes FallbackTheme Qt's fallback icon theme (once; later calls do nothing).
void useFallbackTheme();

// The picture of a command's icon name; a null icon when there is none.
QIcon icon(const char *name);

} // namespace CommandIcons
